#include "install/self_protection_win.h"

#include <windows.h>
// shellapi.h builds on windows.h.
#include <shellapi.h>

#include "base/install_log.h"
#include "base/prescribed_wait.h"
#include "install/trusted_launch_win.h"
#include "system/file_ops_win.h"
#include "system/platform_support_win.h"
#include "system/shell_start_win.h"
#include "system/win_handle_win.h"

namespace lum {
namespace {
constexpr const char* kLog = "self-protection";
}  // namespace

bool DisableSelfProtection(const std::wstring& productFolder) {
  if (productFolder.empty() || !DriverPlatformSupported()) return true;
  const std::wstring tool = WithTrailingSlash(productFolder) + L"safemon\\LumSPTool.exe";
  if (!FileExists(tool)) {
    log::Note(kLog, L"no self-protection tool: nothing to switch off");
    return true;
  }
  // Started with the installer's rights: only when it is the product's own.
  if (!IsTrustedImage(tool)) {
    log::Action(kLog, L"start /disablesp 3: untrusted image, refused", tool, ERROR_ACCESS_DENIED);
    return false;
  }
  ShellStartRequest start;
  start.program = tool;
  start.parameters = L"/disablesp 3";
  start.logTag = kLog;
  start.what = L"start /disablesp 3";
  UniqueHandle process;
  if (!StartThroughShell(start, &process)) return false;
  DWORD code = 0;
  // The tool is the product's and ends on its own; its answer is the outcome.
  if (process) {
    PrescribedWait wait(kLog, L"LumSPTool.exe /disablesp 3");
    ::WaitForSingleObject(process.Get(), INFINITE);
    ::GetExitCodeProcess(process.Get(), &code);
  }
  log::Action(kLog, L"/disablesp 3 exited", tool, static_cast<long>(code));
  return code != kSelfProtectionRefused;
}

}  // namespace lum
