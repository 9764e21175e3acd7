#include "ui/startup_checks_win.h"

#include "base/install_log.h"
#include "install/install_proc_win.h"
#include "install/pre_install_checks.h"
#include "install/pre_install_checks_win.h"
#include "install/trusted_launch_win.h"
#include "session/session_settings.h"
#include "system/file_ops_win.h"
#include "system/reboot_flags.h"
#include "system/reboot_ops_win.h"
#include "system/relocation_folder_win.h"
#include "system/restart_rerun.h"
#include "system/windows_restart_win.h"
#include "ui/msg_box_win.h"
#include "vendor/base_module_win.h"

namespace lum {

namespace {

constexpr const char* kLog = "start checks";

void ShowCheckMessage(HWND window, const std::wstring& key) {
  if (key.empty()) return;
  ShowMessageBox(window, PopLogoId(), Session().Text(key), MB_OK, IDOK);
}

RunningProgramRow RunningFamilyProgram() {
  return FindRunningFamilyProgram(Session().productInstalled, [] { return BaseModuleEdition(); });
}

// The window's start checks answered by this machine, each when it is reached.
class MachineStartupSteps : public StartupCheckSteps {
 public:
  MachineStartupSteps(HWND window, std::wstring installerPath)
      : window_(window), installerPath_(std::move(installerPath)) {}
  bool SupportedWindows() override { return probes_.SupportedWindows(); }
  int CompareWithInstalled() override { return probes_.CompareWithInstalled(); }
  bool IsWritableFolder(const std::wstring& path) override {
    return probes_.IsWritableFolder(path);
  }
  int ClassifyDrive(wchar_t letter) override { return probes_.ClassifyDrive(letter); }
  bool FreeBytes(const std::wstring& path, uint64_t* bytes) override {
    return probes_.FreeBytes(path, bytes);
  }
  ConflictInfo FindConflictingProduct() override { return lum::FindConflictingProduct(); }
  bool CheckPendingRestart(int* exitCode) override {
    const PendingRestartResult result = lum::CheckPendingRestart(window_, installerPath_);
    *exitCode = result.exitCode;
    return result.goOn;
  }
  RunningProgramRow FindRunningFamilyProgram() override { return RunningFamilyProgram(); }

 private:
  HWND window_;
  std::wstring installerPath_;
  MachinePreCheckProbes probes_;
};

}  // namespace

PendingRestartResult CheckPendingRestart(HWND window, const std::wstring& installerPath) {
  const SessionSettings& session = Session();
  const PendingUninstall record = FindPendingUninstall();
  PendingRestartResult result;
  result.exitCode = record.exitCode;
  if (session.postRun) {
    if (!session.postWait) {
      // The run after the restart waits for the machine to be idle: its copy
      // with "wait" does the work.
      PROCESS_INFORMATION process = {};
      const std::wstring commandLine = L"\"" + installerPath + L"\"" + PostWaitArguments();
      if (LaunchTrusted(installerPath, commandLine, 0, &process)) {
        ::CloseHandle(process.hThread);
        ::CloseHandle(process.hProcess);
        result.goOn = false;
        result.relaunched = true;
        log::Note(kLog, L"post run handed over to its waiting copy");
        return result;
      }
      log::Note(kLog, L"post run could not relaunch itself: it goes on");
    }
    if (record.kind != 0) {
      ShowCheckMessage(window, record.messageKey);
      result.goOn = false;
    }
    return result;
  }
  if (record.kind == 0) return result;
  result.goOn = false;
  const int answer =
      ShowMessageBox(window, PopLogoId(), session.Text(L"NEED_REBOOT"), MB_OKCANCEL, IDOK);
  log::Action(kLog, L"pending uninstall: restart prompt", record.messageKey,
              answer == IDOK ? 0 : answer);
  if (answer == IDOK) {
    // The entry runs with full rights after the logon: it names only a copy
    // in a folder that administrators alone can change.
    const std::wstring rerun = RestartRerunCopy(installerPath);
    if (!rerun.empty()) WriteRestartRerunEntry(rerun);
    RestartWindows();
    result.restartRequested = true;
  }
  return result;
}

bool RunWindowStartupChecks(HWND window, int* exitCode) {
  return RunWindowStartupChecks(window, exitCode, OwnModulePath());
}

bool RunWindowStartupChecks(HWND window, int* exitCode, const std::wstring& installerPath) {
  MachineStartupSteps steps(window, installerPath);
  const CInstallProc* procedure = InstallProcIfCreated();
  const int procedureCode = procedure ? procedure->ErrorCode() : 0;
  const StartupCheckResult result = StartupCheckOrder(steps, procedureCode);
  *exitCode = result.code;
  if (result.code != 0 || !result.messageKey.empty()) ShowCheckMessage(window, result.messageKey);
  // The pending-restart check may end the run with 0: a "post" run whose
  // waiting copy does the install. The page must not open beside it.
  if (result.code != 0 || result.pendingRestart) return false;
  if (HasPendingProductUninstall()) {
    // The product's own removal waits for a restart: this install needs one too.
    SetRebootNeeded();
    log::Note(kLog, L"product removal pending in RunOnce: a restart is needed");
  }
  return true;
}

int RunInstallTimeChecks(HWND window) {
  // What may have changed while the welcome page was open: another product
  // installed, or a family program started.
  const ConflictInfo conflict = FindConflictingProduct();
  if (conflict.present) {
    ShowCheckMessage(window, conflict.messageKey);
    return conflict.exitCode;
  }
  const RunningProgramRow running = RunningFamilyProgram();
  if (running.index != kRunningNone) {
    ShowCheckMessage(window, running.messageKey);
    return running.code;
  }
  return 0;
}

}  // namespace lum
