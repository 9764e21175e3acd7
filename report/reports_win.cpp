#include "report/reports_win.h"

#include <windows.h>

#include <mutex>

#include "base/install_log.h"
#include "report/http_get_win.h"
#include "report/machine_id_win.h"
#include "report/referral_link.h"
#include "report/report_config_win.h"
#include "report/run_environment_win.h"
#include "report/url_signature.h"
#include "session/session_settings.h"
#include "system/file_ops_win.h"
#include "system/product_location_win.h"
#include "system/registry_win.h"
#include "system/windows_version_win.h"

namespace lum {
namespace {

constexpr const char* kLog = "report";
constexpr unsigned kResultWaitMs = 10000;

std::wstring InstallerVersion() {
  FileVersion version;
  return ReadFileVersion(OwnModulePath(), &version) ? version.Text() : std::wstring(L"0.0.0.0");
}

// Sealed with the build's service key; empty when sealing failed.
std::string Seal(const std::wstring& text) {
  const std::string sealed = SealReport(text, ReportSealKey(), PlatformRandom);
  if (sealed.empty()) log::Action(kLog, L"report not sealed: nothing sent", L"", 1);
  return sealed;
}

std::wstring Signed(const std::wstring& url) { return SignReportUrl(url, SignatureSuffix()); }

UserExperience ReadUserExperience(const std::wstring& browser) {
  UserExperience ue;
  RegKey key;
  DWORD value = 1;
  if (key.Open(HKEY_LOCAL_MACHINE, L"SOFTWARE\\LumBastion\\Experience", KEY_QUERY_VALUE) &&
      key.ReadDword(L"UserExperience", &value))
    ue.enabled = value != 0;
  ue.acp = ::GetACP();
  ue.geoId = ::GetUserGeoID(GEOCLASS_NATION);
  ue.browser = browser.empty() ? std::wstring(L"unkn") : browser;
  return ue;
}

// The offer's origin: a command-line choice ("syncid") or the offer server's rule.
OfferFlags SessionOfferFlags() {
  const SessionSettings& session = Session();
  OfferFlags offer;
  offer.browserOffer = session.offerChecked ? 1 : 0;
  offer.offerParam = session.syncId != 0 ? 1 : 0;
  offer.offerRule = session.syncId == 0 && session.offerMode != 2 ? 1 : 0;
  offer.valueA = session.offerValueA;
  offer.valueB = session.offerValueB;
  return offer;
}

std::wstring ProcessorName() {
  RegKey key;
  std::wstring name;
  if (key.Open(HKEY_LOCAL_MACHINE, L"HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0",
               KEY_QUERY_VALUE))
    key.ReadString(L"ProcessorNameString", &name);
  return name;
}

uint64_t PhysicalMemory() {
  MEMORYSTATUSEX status = {};
  status.dwLength = sizeof(status);
  return ::GlobalMemoryStatusEx(&status) ? status.ullTotalPhys : 0;
}

ErrorReportFacts ReadErrorFacts(const RunReportFacts& run) {
  const SessionSettings& session = Session();
  ErrorReportFacts facts;
  const std::wstring folder = ReadProductFolder();
  if (!folder.empty()) facts.installedVersion = InstalledProductVersion(folder);
  facts.installerVersion = InstallerVersion();
  RegKey uninstall;
  if (uninstall.Open(HKEY_LOCAL_MACHINE,
                     L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\LumBastion",
                     KEY_QUERY_VALUE))
    uninstall.ReadString(L"Edition", &facts.edition);
  facts.updateMode = session.productInstalled ? 1 : 0;
  facts.offerRule = SessionOfferFlags().offerRule;
  facts.autoInstall = session.autoDeploy ? 1 : 0;
  facts.procedureCode = run.procedureCode;
  facts.extractionError = run.extractionFailed ? 1 : 0;
  return facts;
}

void SendResultReportNow(int code, const RunReportFacts& run) {
  const SessionSettings& session = Session();
  const CommonParams& common = ReportCommonParams();
  std::wstring url;
  if (code != 0) {
    if (session.errLink.empty()) {
      log::Note(kLog, L"no error page in the language table: failure " + std::to_wstring(code) +
                          L" not reported");
      return;
    }
    url = ErrorReportUrl(session.errLink, code, common, ReadErrorFacts(run));
  } else if (session.productInstalled) {
    url = UpdateResultUrl(StatsBase(), common, ReadUserExperience(run.browser), run.procedureCode);
  } else {
    url = FreshResultUrl(StatsBase(), common, ReadUserExperience(run.browser), SessionOfferFlags(),
                         ProcessorName(), PhysicalMemory(), run.procedureCode);
  }
  const std::wstring signedUrl = Signed(url);
  if (signedUrl.empty()) return;
  SendWithRetry(signedUrl);
}

}  // namespace

const CommonParams& ReportCommonParams() {
  // Never destroyed: report threads that outlive the run still read it.
  static std::once_flag once;
  static CommonParams* common = nullptr;
  std::call_once(once, [] {
    common = new CommonParams;
    common->mid = GetProfileIdentity();
    common->ver = InstallerVersion();
    common->lan = LanguageCode();
    common->os = OsText();
    common->ch = reportChannel.empty() ? Session().channel : reportChannel;
    common->sch =
        ReportSubChannel(reportSubChannel.empty() ? Session().subChannel : reportSubChannel);
  });
  return *common;
}

void SendEnvironmentReport(unsigned waitMs) {
  RunBounded(
      [] {
        const std::string sealed =
            Seal(EnvironmentString(ReportCommonParams(), ReadEnvironmentFacts()));
        if (sealed.empty()) return;
        const std::wstring url = Signed(EnvironmentReportUrl(StatsBase(), sealed));
        if (!url.empty()) HttpGet(url, kRequestTimeoutMs);
      },
      waitMs, L"environment report");
}

void SendChannelReport(unsigned waitMs) {
  const std::wstring clientId = Session().clientId;
  RunBounded(
      [clientId] {
        const CommonParams& common = ReportCommonParams();
        const std::string sealed = Seal(EnvironmentString(common, ReadEnvironmentFacts()) +
                                        L"&clientid=" + clientId);
        if (sealed.empty()) return;
        const std::wstring url = Signed(ChannelReportUrl(ChannelHost(), sealed, common.ch, common.sch));
        if (!url.empty()) HttpGet(url, kRequestTimeoutMs);
      },
      waitMs, L"channel report");
}

void SendResultReport(int code, const RunReportFacts& facts) {
  RunBounded([code, facts] { SendResultReportNow(code, facts); }, kResultWaitMs,
             L"result report " + std::to_wstring(code));
}

void SendInstallReports(const RunReportFacts& facts, unsigned waitMs) {
  std::vector<BoundedWork> works;
  works.push_back({[facts] { SendResultReportNow(0, facts); }, L"result report 0"});
  if (!Session().productInstalled) {
    works.push_back({[facts] {
                       const std::wstring url = Signed(
                           InstallReportUrl(StatsBase(), ReportCommonParams(),
                                            ReadUserExperience(facts.browser), SessionOfferFlags()));
                       if (!url.empty()) SendWithRetry(url);
                     },
                     L"install report"});
  }
  RunBoundedTogether(std::move(works), waitMs);
}

void SendDamagedFileReport(const std::wstring& query) {
  const std::wstring url = Signed(StatsBase() + query);
  if (!url.empty()) SendAsync(url, 4000);
}

std::wstring GetReferralLink() {
  const SessionSettings& session = Session();
  auto setting = [&session](const wchar_t* key) {
    const std::wstring text = session.Text(key);
    return text.empty() ? session.StringValue(L"default", key) : text;
  };
  const std::wstring link = BuildReferralLink(setting(L"ref_link"), setting(L"key"),
                                              ReportCommonParams().mid, ReportCommonParams().ch);
  if (link.empty()) log::Note(kLog, L"no referral link (no \"ref_link\" and \"key\" in the table)");
  return link;
}

}  // namespace lum
