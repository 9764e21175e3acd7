// The main window from Install to its end: the checks before the install,
// the progress page, the end of the install and the exit code it ends with.
#include "ui/main_dlg_win.h"

#include <algorithm>

#include "base/exit_codes.h"
#include "base/install_log.h"
#include "install/cloud_policy_win.h"
#include "install/install_proc_win.h"
#include "install/pre_install_checks.h"
#include "install/pre_install_checks_win.h"
#include "install/product_registry_win.h"
#include "install/restart_offer_win.h"
#include "install/self_protection_win.h"
#include "report/reports_win.h"
#include "session/session_settings.h"
#include "system/file_ops_win.h"
#include "system/install_folder_rights_win.h"
#include "system/reboot_flags.h"
#include "system/reboot_ops_win.h"
#include "system/self_protection_device_win.h"
#include "system/windows_version_win.h"
#include "ui/msg_box_win.h"
#include "ui/policy_notice_win.h"
#include "ui/skin/dpi_scale_win.h"
#include "ui/startup_checks_win.h"

namespace lum {

namespace {

constexpr const char* kLog = "ui";

}  // namespace

void CMainDlg::OnInstall() {
  SessionSettings& session = Session();
  const int checked = RunInstallTimeChecks(window_);
  if (checked != 0) {
    FinishWith(checked);
    return;
  }
  if (strip_.Window()) strip_.CheckDrive(true);
  if (strip_.Window() && strip_.DriveState() != CConfigDlg::kDriveUsable) {
    if (updateMode_) {
      // The existing folder cannot change here: the run ends with the silent
      // run's code for the same drive, never with "installed".
      FinishWith(strip_.DriveState() == CConfigDlg::kDriveTooLittleSpace ? kExitNoDiskSpace
                                                                         : kExitUnsuitableDrive);
    } else if (!StripVisible()) {
      ToggleOptions();
    }
    return;
  }
  if (cloudTouched_ || cloudBox_.Checked())
    cloudAnalysisDefault = cloudBox_.Checked() ? CloudAnalysisDefault::kOn : CloudAnalysisDefault::kOff;

  if (updateMode_) {
    ::ShowWindow(window_, SW_HIDE);
    bool usable = !session.installDir.empty() && FolderExists(session.installDir);
    if (usable && (GetWindowsVersion().IsXp() ||
                   AskSelfProtectionDriver() == SelfProtectionAnswer::kRefused)) {
      usable = DisableSelfProtection(session.installDir);
      log::Action(kLog, L"switch self-protection off", session.installDir,
                  usable ? 0 : kExitSelfProtection);
    }
    if (!usable) {
      FinishWith(kExitSelfProtection);
      return;
    }
    shadow_.Show(true);
  } else if (!strip_.GetFolder().empty()) {
    session.SetInstallDir(strip_.GetFolder(), true);
  }

  // Made admin-only before the test file is written (a link is refused).
  if (!SecureInstallFolder(session.installDir) || !IsWritableFolder(session.installDir)) {
    log::Action(kLog, L"install folder not writable", session.installDir, 1);
    ::ShowWindow(window_, SW_SHOW);
    ::RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    ShowMessageBox(window_, PopLogoId(), session.Text(L"ERROR_NOTWRITEABLE"), MB_OK, IDOK);
    return;
  }

  CInstallProc* procedure = InstallProcIfCreated();
  installing_ = true;
  if (!procedure || !procedure->StartInstall(window_, session.installDir)) {
    // The worker no longer takes work: nothing can be installed.
    log::Action(kLog, L"hand the install to the worker", session.installDir, kExitWorkerThread);
    installing_ = false;
    ::ShowWindow(window_, SW_SHOW);
    ShowMessageBox(window_, PopLogoId(), session.Text(L"ERROR_TEMPNOTAVAILABLE"), MB_OK, IDOK);
    FinishWith(kExitWorkerThread);
    return;
  }
  log::Note(kLog, L"install started into " + session.installDir);
  ShowProgressPage();
}

void CMainDlg::ShowProgressPage() {
  const DpiScale& dpi = Dpi();
  progressPage_ = true;
  BeginDeferredUpdate();
  closeButton_.Enable(false);
  for (CSomWnd* control : std::initializer_list<CSomWnd*>{
           &installButton_, &acceptBox_, &acceptLabel_, &cloudBox_, &cloudLabel_, &offerBox_,
           &offerLabel_, &licenceText_, &licenceLink_, &optionsButton_, &languageButton_})
    control->Show(false);
  if (StripVisible()) ToggleOptions();
  installingText_.Show(true);
  progressBar_.SetPos(0, dpi.Scale(kProgressTop));
  progressBar_.SetPercent(percent_);
  progressBar_.Show(true);
  ResizeClient(dpi.Scale(kWidth), dpi.Scale(kProgressHeight));
  RECT client;
  ::GetClientRect(window_, &client);
  InvalidateOrBatch(client);
  EndDeferredUpdate();
  ::ShowWindow(window_, SW_SHOW);
  FitShadow();
  ::RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE);
}

void CMainDlg::OnProgress(int position, int maximum) {
  if (maximum <= 0) return;
  const int percent = std::min(100, position * 100 / maximum);
  // Out-of-order arrivals never move the bar back.
  if (percent > percent_) {
    percent_ = percent;
    progressBar_.SetPercent(percent_);
  }
  if (position == maximum) ::SetTimer(window_, kEndTimer, kEndTimerMs, nullptr);
}

void CMainDlg::OnEndOfInstall() {
  CInstallProc* procedure = InstallProcIfCreated();
  // Progress 100 can arrive while the run's last steps (firewall, completion
  // reports) still run; the page changes only once the worker is done.
  if (procedure && !procedure->RunFinished()) return;
  ::KillTimer(window_, kEndTimer);
  const int code = procedure ? procedure->ErrorCode() : kProcTempNotAvailable;
  log::Note(kLog, L"end of install, procedure code " + std::to_wstring(code));
  if (code != 0) {
    // The work-folder table names every code the procedure ends with.
    std::wstring key = WorkFolderMessageKey(code);
    if (key.empty()) key = kKeyTempNotAvailable;
    ShowMessageBox(window_, PopLogoId(), Session().Text(key), MB_OK, IDOK);
    FinishWith(code);
    return;
  }
  if (updateMode_) {
    ::PostMessageW(window_, kFinishMessage, 0, 0);
    return;
  }
  notice_ = std::make_unique<CPagePolicyNotice>();
  if (!notice_->Create(window_, kFinishMessage)) {
    notice_.reset();
    ::PostMessageW(window_, kFinishMessage, 0, 0);
    return;
  }
  ::ShowWindow(window_, SW_HIDE);
  notice_->Show();
}

void CMainDlg::OnFinish() {
  if (finished_) return;
  HWND owner = notice_ && notice_->Window() ? notice_->Window() : window_;
  // The install may have left an older product's removal for the restart;
  // nothing between its end and this point touches RunOnce.
  const bool uninstallPending = FindPendingUninstall().kind != 0;
  bool restartNow = false;
  // When files also wait for the restart, the prompt below asks the same
  // question: it is asked once.
  if (uninstallPending && !RebootNeeded()) {
    restartNow = ShowRestartPrompt(owner);
    if (restartNow) {
      SetRestartOnExit();
      log::Note(kLog, L"restart chosen to complete the pending removal");
    }
  }
  // The reboot-needed prompt, then the window is hidden and the product
  // started (unless its main program waits for the restart).
  if (!restartNow) OfferRestart(owner, 0);
  installing_ = false;
  FinishWith(0);
}

void CMainDlg::FinishWith(int code) {
  if (finished_) return;
  finished_ = true;
  exitCode_ = code;
  log::Note(kLog, L"main window finishes with code " + std::to_wstring(code));
  if (CInstallProc* procedure = InstallProcIfCreated()) {
    // An extraction still under way stops at its next item.
    if (!installing_) procedure->RequestCancel();
  }
  if (code != 0) {
    RunReportFacts facts;
    if (CInstallProc* procedure = InstallProcIfCreated()) facts.procedureCode = procedure->ErrorCode();
    facts.extractionFailed = ExtractionFailed();
    SendResultReport(code, facts);
  }
  if (notice_) notice_.reset();
  if (!inCreate_) DestroySomWindow();
  ::PostQuitMessage(code);
}

}  // namespace lum
