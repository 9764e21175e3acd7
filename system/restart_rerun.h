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
// Whether the RunOnce entry's command (`command`) starts `installerPath`
// (any case).
bool RerunCommandStarts(const std::wstring& command, const std::wstring& installerPath);

// Whether `path` is a file directly inside a folder the installer made for a
// copy of itself under `parent` (its Program Files): "<parent>\<digits>_<digits>\<name>",
// the parent in any case, no "." or ".." part. Only administrators can create
// folders there, so a standard user cannot have put or changed that file: the
// only kind of place the RunOnce entry, which runs with full rights after the
// next logon, may name.
bool IsRelocationCopyPath(const std::wstring& path, const std::wstring& parent);
// " /post:wait"
std::wstring PostWaitArguments();

}  // namespace lum
