#include "install/stopped_product_win.h"

#include <windows.h>

#include "base/install_log.h"
#include "install/active_defense_win.h"
#include "install/process_termination_win.h"
#include "install/protected_service_win.h"
#include "system/windows_version_win.h"
#include "tray/product_start_win.h"

namespace lum {

namespace {
constexpr const char* kLog = "install";
constexpr const wchar_t* kMainProgram = L"ZVSafeMain.exe";
}  // namespace

RunningProduct NoteRunningProduct(bool productInstalled) {
  RunningProduct running;
  running.installed = productInstalled;
  DWORD id = 0;
  running.mainProgram = FindProcess(kMainProgram, &id);
  log::Note(kLog, std::wstring(L"before the run: product ") +
                      (productInstalled ? L"installed" : L"not installed") + L", main program " +
                      (running.mainProgram ? L"running" : L"not running"));
  return running;
}

void RestartStoppedProduct(const RunningProduct& before, const std::wstring& installDir) {
  if (!before.installed) {
    log::Note(kLog, L"no installed product to start again");
    return;
  }
  log::Note(kLog, L"starting again what the run stopped");
  // The action script stopped the services and marked them for removal:
  // the bring-up of the end of a run registers them afresh from the files
  // now back in place and starts them.
  if (IsAtLeastBuild(L"10.0.16299"))
    log::Action(kLog, L"protected service brought up again", installDir,
                InstallProtectedService(installDir) ? 0 : 1);
  log::Action(kLog, L"active defense brought up again", installDir,
              BringUpActiveDefense(installDir) ? 0 : 1);
  DWORD id = 0;
  if (before.mainProgram && !FindProcess(kMainProgram, &id))
    log::Action(kLog, L"main program started again", installDir,
                StartInstalledProduct(installDir) ? 0 : 1);
}

}  // namespace lum
