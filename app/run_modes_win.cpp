// The two branches after start-up: silent (outcome only in the exit code) and
// interactive (the main window and its message loop), and the interactive
// branch's part of the shutdown.
#include <windows.h>

#include "app/session_environment_win.h"
#include "app/startup_win.h"
#include "base/exit_codes.h"
#include "base/install_log.h"
#include "browser/browser_detect_win.h"
#include "browser/partner_offer_win.h"
#include "install/cloud_policy_win.h"
#include "install/install_proc_win.h"
#include "install/pre_install_checks_win.h"
#include "install/product_registry_win.h"
#include "install/restart_offer_win.h"
#include "install/self_protection_win.h"
#include "payload/archive_extract_win.h"
#include "report/offer_query_win.h"
#include "report/reports_win.h"
#include "session/session_settings.h"
#include "system/product_location_win.h"
#include "system/reboot_ops_win.h"
#include "system/registry_win.h"
#include "system/self_protection_device_win.h"
#include "system/windows_version_win.h"
#include "tray/product_start_win.h"
#include "ui/main_dlg_win.h"
#include "ui/msg_box_win.h"
#include "ui/silent_handler_win.h"
#include "ui/skin/gdiplus_win.h"
#include "ui/skin/som_window_win.h"

namespace lum {

namespace {

const wchar_t* CloudText(CloudAnalysisDefault value) {
  switch (value) {
    case CloudAnalysisDefault::kOn:
      return L"on";
    case CloudAnalysisDefault::kOff:
      return L"off";
    default:
      return L"unset";
  }
}

void DecideSilentCloudDefault() {
  SessionSettings& session = Session();
  CloudFacts facts = ReadDeepScanPolicy();
  if (facts.cloudValuePresent || !facts.skipUpload) {
    // Asked without applying: the silent run makes no offer.
    const OfferOutcome answer = QueryOffer(false);
    facts.offerAnswered = answer.answered;
    facts.offerMode = answer.mode;
    facts.offerLanguageMask = answer.languageMask;
  }
  facts.language = session.language;
  facts.productInstalled = session.productInstalled;
  cloudAnalysisDefault = DecideCloudAnalysis(facts);
  log::Note("silent", std::wstring(L"cloud analysis default: ") + CloudText(cloudAnalysisDefault));
}

// The self-protection driver vouches for this process; a driver that cannot
// be opened (not installed) vouches, a driver that cannot answer does not.
bool SelfProtectionVouches() {
  return AskSelfProtectionDriver() != SelfProtectionAnswer::kRefused;
}

bool InstalledOlderThan10() {
  ProductVersion version;
  return ReadInstalledProductVersion(&version) && version.High() < 0xA0000;
}

// Steps of the silent run from the self-protection switch to the finish of
// the procedure; returns the run's result code.
int RunSilentProcedure(SessionSettings& session) {
  if (!session.productInstalled) {
    if (SessionPromoSettings(session).fullCheck == 2) session.showProduct = true;
  } else if (GetWindowsVersion().IsXp() || !SelfProtectionVouches()) {
    const bool off = DisableSelfProtection(session.installDir);
    log::Action("silent", L"switch self-protection off", session.installDir,
                off ? 0 : kExitSelfProtection);
    if (!off) return kExitSelfProtection;
  }

  CInstallProc* procedure = GetInstallProc();
  if (procedure->ErrorCode() != 0) return procedure->ErrorCode();
  const int checked = SilentPreCheck(session, procedure->ErrorCode());
  if (checked != 0) return checked;
  session.olderThan10 = session.productInstalled && InstalledOlderThan10();

  CSilentMsgHanlder loop;
  if (!procedure->RunSilent(loop)) {
    const int code = procedure->ErrorCode() != 0 ? procedure->ErrorCode() : kExitProcedureConstruct;
    log::Action("silent", L"install procedure failed", session.installDir, code);
    return code;
  }
  OfferRestart(nullptr, 0);
  return 0;
}

}  // namespace

int RunSilent() {
  SessionSettings& session = Session();
  DecideSilentCloudDefault();
  if (session.installDir.empty()) {
    session.SetInstallDir(DefaultInstallDir(), false);
    log::Note("silent", L"install folder (default): " + session.installDir);
  }
  const int result = RunSilentProcedure(session);
  SendEnvironmentReport(4000);
  if (result != 0) {
    RunReportFacts facts;
    facts.browser = DefaultBrowserShortName();
    if (CInstallProc* procedure = InstallProcIfCreated()) facts.procedureCode = procedure->ErrorCode();
    facts.extractionFailed = ExtractionFailed();
    SendResultReport(result, facts);
  }
  if (CInstallProc* procedure = InstallProcIfCreated()) {
    if (procedure->Window()) ::PostMessageW(procedure->Window(), WM_QUIT, 0, 0);
    procedure->DeleteWorkFolder();
    DestroyInstallProc();
  }
  return result;
}

namespace {

// The partner-offer choice of the interactive start: the offer server's
// answer, or the choice the command line made ("syncid").
void ChooseOffer(SessionSettings& session) {
  if (!SessionPromoSettings(session).operaOffer) {
    session.offerMode = 0;
    session.offerChecked = false;
    return;
  }
  switch (session.syncId) {
    case 0:
      QueryOffer(true);
      return;
    case 1:
      session.offerMode = 0;
      session.offerChecked = false;
      return;
    case 2:
      session.offerMode = 1;
      session.offerChecked = true;
      return;
    default:
      session.offerMode = 1;
      session.offerChecked = false;
      return;
  }
}

}  // namespace

int RunInteractive(HINSTANCE, int showCommand) {
  SessionSettings& session = Session();
  ChooseOffer(session);
  if (!StartGdiPlus()) {
    // Loaded a moment ago at start-up; a GDI+ that will not start leaves the
    // skin without images, which the message boxes survive but the window not.
    log::Action("interactive", L"start GDI+", L"gdiplus.dll", kExitNoGdiPlus);
    ShowMessageBox(nullptr, PopLogoId(), session.Text(L"ERROR_CNNOGDIPLUS"), MB_OK, IDOK);
    return kExitNoGdiPlus;
  }
  // DPI awareness (not on XP), the skin's face for the language and the
  // message-box texts.
  PrepareSkinForLanguage();
  session.showProduct = true;
  if (session.installDir.empty()) session.SetInstallDir(DefaultInstallDir(), false);

  // The worker starts now and extracts while the user reads the page (once
  // its first paint is done); without a worker nothing can be installed.
  if (!GetInstallProc()) {
    StopGdiPlus();
    return kExitWorkerThread;
  }
  log::Note("interactive", L"install worker started");
  session.olderThan10 = session.productInstalled && InstalledOlderThan10();

  int result = 0;
  {
    CMainDlg window;
    if (window.Create(showCommand)) {
      result = MessageLoop().Run();
    } else if (window.Finished()) {
      result = window.ExitCode();
    } else {
      // No window, no way to install; the log line says why.
      log::Action("interactive", L"create the main window", kMainWindowClass,
                  static_cast<long>(::GetLastError()));
      result = kExitNoWindow;
    }
    log::Note("interactive", L"main window closed with " + std::to_wstring(result));
  }
  StopGdiPlus();
  return result;
}

void ShutDownInteractiveWorker() {
  CInstallProc* procedure = InstallProcIfCreated();
  if (!procedure) return;
  procedure->ReleaseExtraction();  // a window that never showed its page held it back
  procedure->Stop();
  // A window closed before Install leaves the archive library loaded from
  // the work folder; the worker is gone, so it can go too.
  UnloadArchiveLibrary();
  procedure->DeleteWorkFolder();
  DestroyInstallProc();
}

}  // namespace lum
