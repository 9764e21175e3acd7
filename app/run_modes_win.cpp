// The two branches after start-up: silent (outcome only in the exit code) and
// interactive. Both need the install procedure; until it is part of the
// build they stop where it would be constructed and report that honestly.
#include <windows.h>

#include "app/exit_codes.h"
#include "app/install_log.h"
#include "app/later_components_win.h"
#include "app/session_environment_win.h"
#include "app/session_settings.h"
#include "app/startup_win.h"
#include "system/registry_win.h"

namespace lum {

CloudAnalysisDefault cloudAnalysisDefault = CloudAnalysisDefault::kUnset;

namespace {

constexpr const wchar_t* kDeepScanKey = L"SOFTWARE\\LumBastion\\DeepScan";

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
  CloudFacts facts;
  RegKey key;
  if (key.Open(HKEY_LOCAL_MACHINE, kDeepScanKey, KEY_QUERY_VALUE)) {
    facts.cloudValuePresent = key.HasValue(L"CloudAnalysis");
    DWORD skip = 0;
    facts.skipUpload = key.ReadDword(L"SkipUpload", &skip) && skip == 1;
  }
  if (facts.cloudValuePresent || !facts.skipUpload) {
    // Asked without applying: the silent run makes no offer.
    const OfferAnswer answer = QueryOffer(false);
    facts.offerAnswered = answer.answered;
    facts.offerMode = answer.mode;
    facts.offerLanguageMask = answer.languageMask;
  }
  facts.language = session.language;
  facts.productInstalled = session.productInstalled;
  cloudAnalysisDefault = DecideCloudAnalysis(facts);
  log::Note("silent", std::wstring(L"cloud analysis default: ") + CloudText(cloudAnalysisDefault));
}

}  // namespace

int RunSilent() {
  SessionSettings& session = Session();
  DecideSilentCloudDefault();
  if (session.installDir.empty()) {
    session.SetInstallDir(DefaultInstallDir(), false);
    log::Note("silent", L"install folder (default): " + session.installDir);
  }
  log::Action("silent", L"install procedure not available in this build", session.installDir,
              kExitProcedureConstruct);
  const int result = kExitProcedureConstruct;
  SendEnvironmentReport(4000);
  if (result != 0) SendResultReport(result);
  return result;
}

int RunInteractive(HINSTANCE, int) {
  Session().showProduct = true;
  log::Action("interactive", L"install procedure not available in this build", L"",
              kExitWorkerThread);
  return kExitWorkerThread;
}

}  // namespace lum
