#include "system/windows_restart_win.h"

#include <windows.h>

#include <atomic>

#include "base/install_log.h"
#include "system/reboot_flags.h"
#include "system/reboot_ops_win.h"
#include "system/registry_win.h"
#include "system/restart_rerun.h"
#include "system/win_handle_win.h"
#include "system/windows_version_win.h"

namespace lum {

namespace {

constexpr const char* kLog = "restart";
// Planned, operating system, hotfix.
constexpr DWORD kRestartReason = 0x80020011;

std::atomic<RestartHook> g_restartHook{nullptr};

bool EnableShutdownPrivilege() {
  UniqueHandle token;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY,
                          token.Put())) {
    log::Action(kLog, L"open process token", L"SeShutdownPrivilege",
                static_cast<long>(::GetLastError()));
    return false;
  }
  TOKEN_PRIVILEGES privileges = {};
  privileges.PrivilegeCount = 1;
  privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  if (!::LookupPrivilegeValueW(nullptr, L"SeShutdownPrivilege", &privileges.Privileges[0].Luid)) {
    log::Action(kLog, L"look up privilege", L"SeShutdownPrivilege",
                static_cast<long>(::GetLastError()));
    return false;
  }
  // AdjustTokenPrivileges succeeds with ERROR_NOT_ALL_ASSIGNED when the token
  // lacks the privilege: only the last error tells.
  ::SetLastError(ERROR_SUCCESS);
  ::AdjustTokenPrivileges(token.Get(), FALSE, &privileges, 0, nullptr, nullptr);
  const DWORD error = ::GetLastError();
  log::Action(kLog, L"enable privilege", L"SeShutdownPrivilege", static_cast<long>(error));
  return error == ERROR_SUCCESS;
}

}  // namespace

void SetRestartHookForTest(RestartHook hook) { g_restartHook.store(hook); }

bool RestartWindows() {
  if (!EnableShutdownPrivilege()) return false;
  if (RestartHook hook = g_restartHook.load()) {
    log::Action(kLog, L"restart Windows (test hook, machine not restarted)", L"", 0);
    hook();
    return true;
  }
  const bool asked = ::ExitWindowsEx(EWX_REBOOT, kRestartReason) != FALSE;
  log::Action(kLog, L"restart Windows", L"", asked ? 0 : static_cast<long>(::GetLastError()));
  return asked;
}

bool WriteRestartRerunEntry(const std::wstring& installerPath) {
  const std::wstring command = RestartRerunCommand(installerPath);
  RegKey runOnce;
  const bool ok = runOnce.Create(HKEY_LOCAL_MACHINE, kRunOnceKey, KEY_SET_VALUE) &&
                  runOnce.WriteString(kRestartRerunValue, command);
  log::Action(kLog, L"write RunOnce " + std::wstring(kRestartRerunValue) + L" = " + command,
              std::wstring(L"HKLM\\") + kRunOnceKey, ok ? 0 : runOnce.LastError());
  return ok;
}

bool RaiseRebootNeededForRestartAtom() {
  const WindowsVersion version = GetWindowsVersion();
  if (version.major != 10 || version.productType != VER_NT_WORKSTATION) return false;
  if (::GlobalFindAtomW(kRestartAtom) == 0) return false;
  SetRebootNeeded();
  log::Note(kLog, L"restart atom present after the driver pass: a restart is needed");
  return true;
}

}  // namespace lum
