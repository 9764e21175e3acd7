#include "install/self_protection_win.h"

#include <windows.h>
// shellapi.h builds on windows.h.
#include <shellapi.h>

#include <atomic>

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
std::atomic<unsigned long> waitForTest{0};

DWORD WaitMs() {
  const unsigned long ms = waitForTest.load();
  return ms != 0 ? ms : kSelfProtectionWaitMs;
}
}  // namespace

void SetSelfProtectionWaitForTest(unsigned long ms) { waitForTest = ms; }

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
  // The tool is the product's; its answer is the outcome. One that does not
  // answer in time is left to finish on its own (ending it half-way could
  // leave the protection neither on nor off), and the install does not run.
  if (process) {
    const DWORD limit = WaitMs();
    PrescribedWait wait(kLog, L"LumSPTool.exe /disablesp 3");
    const DWORD waited = ::WaitForSingleObject(process.Get(), limit);
    wait.Done();
    if (waited != WAIT_OBJECT_0) {
      log::Action(kLog,
                  L"/disablesp 3 gave no answer within " + std::to_wstring(limit) +
                      L" ms: counted as a refusal",
                  tool, waited == WAIT_TIMEOUT ? WAIT_TIMEOUT : static_cast<long>(::GetLastError()));
      return false;
    }
    ::GetExitCodeProcess(process.Get(), &code);
  }
  log::Action(kLog, L"/disablesp 3 exited", tool, static_cast<long>(code));
  return code != kSelfProtectionRefused;
}

}  // namespace lum
