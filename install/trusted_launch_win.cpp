#include "install/trusted_launch_win.h"


#include "base/install_log.h"
#include "install/process_table.h"
#include "system/held_file_win.h"
#include "system/process_start_win.h"
#include "system/product_location_win.h"
#include "system/self_protection_device_win.h"
#include "system/win_handle_win.h"
#include "vendor/base_module_win.h"

namespace lum {
namespace {

constexpr const char* kLog = "launch";

}  // namespace

bool IsTrustedImage(const std::wstring& path) {
  if (PathLiesInFolder(path, ReadProductFolder()) &&
      AskSelfProtectionDriver() == SelfProtectionAnswer::kAcknowledged)
    return true;
  if (!BaseModuleLoaded()) log::Note(kLog, L"base module not loaded: no file verification");
  int kind = -1;
  return VerifyFile(path, &kind) != 0;
}

bool LaunchTrusted(const std::wstring& application, const std::wstring& commandLine,
                   DWORD creationFlags, PROCESS_INFORMATION* process) {
  if (application.empty()) {
    ::SetLastError(ERROR_NOT_SUPPORTED);
    return false;
  }
  // Held from before the check until the process has been created: nobody
  // can write, rename or replace the image in between.
  UniqueFileHandle held;
  if (!OpenHeldFile(application, &held)) {
    const DWORD error = ::GetLastError();
    log::Action(kLog, L"refused to start an image not held for its check", application,
                static_cast<long>(error));
    ::SetLastError(error);
    return false;
  }
  if (!IsTrustedImage(application)) {
    log::Action(kLog, L"refused to start an untrusted image", application, ERROR_ACCESS_DENIED);
    ::SetLastError(ERROR_ACCESS_DENIED);
    return false;
  }
  const bool started =
      StartProcess(application, commandLine, L"", kDefaultShow, creationFlags, process);
  const DWORD error = started ? 0 : ::GetLastError();
  log::Action(kLog, L"start " + commandLine, application, static_cast<long>(error));
  ::SetLastError(error);
  return started;
}

bool RunTrusted(const std::wstring& application, const std::wstring& arguments, DWORD waitMs) {
  PROCESS_INFORMATION info = {};
  if (!LaunchTrusted(application, L"\"" + application + L"\" " + arguments, 0, &info)) return false;
  UniqueHandle process(info.hProcess), thread(info.hThread);
  if (::WaitForSingleObject(process.Get(), waitMs) == WAIT_TIMEOUT)
    log::Action(kLog, L"still running after the wait", application, WAIT_TIMEOUT);
  return true;
}

}  // namespace lum
