// A compatibility layer set on the installer's path (by the Program
// Compatibility Assistant after a failed run, or by the user) makes Windows
// shim this process: the installer removes it and runs itself again clean.
#include <windows.h>
// These headers build on windows.h.
#include <shellapi.h>

#include "app/startup_win.h"
#include "base/install_log.h"
#include "system/file_ops_win.h"
#include "system/registry_win.h"
#include "system/shell_start_win.h"
#include "system/win_handle_win.h"
#include "system/windows_version_win.h"

namespace lum {

namespace {

constexpr const wchar_t* kMuiCacheKey =
    L"Local Settings\\Software\\Microsoft\\Windows\\Shell\\MuiCache";

bool DeleteValueIfPresent(HKEY root, const std::wstring& subkey, const std::wstring& name) {
  RegKey key;
  if (!key.Open(root, subkey, KEY_QUERY_VALUE | KEY_SET_VALUE)) return false;
  return key.HasValue(name) && key.DeleteValue(name);
}

}  // namespace

bool DeleteCompatLayerValue(const std::wstring& exePath) {
  const std::wstring sid = CurrentUserSidString();
  if (sid.empty() || exePath.empty()) return false;
  const std::wstring subkey = sid + L"\\" + kCompatLayersKey;
  const bool deleted = DeleteValueIfPresent(HKEY_USERS, subkey, exePath);
  if (deleted) log::Action("startup", L"delete compatibility layer", subkey + L"\\" + exePath, 0);
  return deleted;
}

bool ClearCompatibilityLayer(const std::wstring& commandTail, bool elevated,
                             const std::wstring& ownFolder, HandOver* handOver) {
  const std::wstring ownPath = OwnModulePath();
  if (!DeleteCompatLayerValue(ownPath)) return false;
  // The layer comes from the user's own hive and this file from a folder he
  // may write to (where it was downloaded): an elevated run never starts it
  // again, or the user could put his own program there between the check
  // and the start and have it run elevated. This run goes on as it is; the
  // next start is clean. The usual start (not elevated yet) restarts as the
  // user, with nothing more than the user's own rights.
  if (elevated) {
    log::Action("startup", L"compatibility layer removed; an elevated run is not started again",
                ownPath, 0);
    return false;
  }
  // Without a place for the restarted run's result file its 0 could not be
  // believed: this run goes on as it is instead.
  if (ownFolder.empty()) {
    log::Action("startup", L"compatibility layer removed; no folder for the restarted run's result",
                ownPath, 0);
    return false;
  }

  const std::wstring resultPath = WithTrailingSlash(ownFolder) + L"restarted_result.json";
  ::DeleteFileW(resultPath.c_str());
  const std::wstring tail = WithPrivateResult(commandTail, resultPath);
  const std::wstring commandLine = L"\"" + ownPath + L"\" " + tail;
  ShellStartRequest start;
  start.program = ownPath;
  start.parameters = tail;
  start.show = SW_SHOW;
  start.logTag = "startup";
  start.what = L"restart without compatibility layer";
  UniqueHandle process;
  // The layer is gone for the next start; without a process this run goes
  // on as it is.
  if (!StartThroughShell(start, &process) || !process) return false;
  ::WaitForSingleObject(process.Get(), INFINITE);
  handOver->code = ChildExitCode(process.Get(), commandLine);
  log::Action("startup", L"restarted run without compatibility layer finished", commandLine,
              static_cast<long>(handOver->code));
  TakePrivateResult(resultPath, handOver);
  return true;
}

bool ClearMuiCacheName(const std::wstring& exePath) {
  if (exePath.empty()) return false;
  const bool deleted =
      DeleteValueIfPresent(HKEY_CLASSES_ROOT, kMuiCacheKey, exePath + L".FriendlyAppName");
  if (deleted) log::Action("startup", L"delete MUI cache name", exePath + L".FriendlyAppName", 0);
  return deleted;
}

}  // namespace lum
