// The command lines of the run that continues an installation across a
// restart: the RunOnce entry that starts the installer with "post" after the
// next logon, and the relaunch of that run with "post:wait", which waits for
// the machine to become idle before installing.
#pragma once
#include <string>

namespace lum {

constexpr const wchar_t* kRestartRerunValue = L"Lumts";

// "\"<installer>\" /post"
std::wstring RestartRerunCommand(const std::wstring& installerPath);
// " /post:wait"
std::wstring PostWaitArguments();

}  // namespace lum
