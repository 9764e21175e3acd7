// Restarting Windows and the facts that call for a restart: the shutdown
// privilege and the restart itself, the RunOnce entry that resumes the
// installation after the restart, and the product's restart atom. Logged.
#pragma once
#include <string>

namespace lum {

constexpr const wchar_t* kRestartAtom = L"{A7B202AB-A508-4235-9c97-C25799782590}";

// Enables "SeShutdownPrivilege" and asks Windows to restart (planned,
// operating system, hotfix). Nothing happens when the privilege cannot be
// had; true when Windows accepted the request.
bool RestartWindows();

// Test programs only: with a hook set, RestartWindows still enables the
// privilege but calls the hook instead of restarting the machine (Wine would
// end the test's prefix). nullptr restores the real restart. The installer
// never sets it.
using RestartHook = void (*)();
void SetRestartHookForTest(RestartHook hook);

// HKLM RunOnce "Lumts" = "\"<installer>\" /post" (see restart_rerun.h).
bool WriteRestartRerunEntry(const std::wstring& installerPath);

// After the driver pass on a Windows 10 workstation: the product's driver
// leaves the global restart atom when it must be reloaded, and the restart is
// then needed. True when the reboot-needed flag was raised.
bool RaiseRebootNeededForRestartAtom();

}  // namespace lum
