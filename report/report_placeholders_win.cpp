#include "report/report_placeholders_win.h"

#include "app/session_settings.h"
#include "base/not_built.h"
#include "base/text.h"

namespace lum {

OfferAnswer QueryOffer(bool apply) {
  LogNotBuilt(L"offer query", "startup");
  if (apply) {
    // No usable answer: the offer is left open, preselected only for channel 101.
    SessionSettings& session = Session();
    session.offerMode = 2;
    session.offerChecked = EqualsNoCase(session.channel, L"101");
  }
  return OfferAnswer();
}

void SendChannelReport(unsigned) { LogNotBuilt(L"channel report", "startup"); }
void SendEnvironmentReport(unsigned) { LogNotBuilt(L"environment report", "startup"); }
void SendResultReport(int) { LogNotBuilt(L"result report", "startup"); }
void SendInstallReports(unsigned) { LogNotBuilt(L"install reports", "install"); }

std::wstring GetReferralLink() {
  LogNotBuilt(L"referral link", "startup");
  return std::wstring();
}

std::wstring FetchLicenseVersion(unsigned) {
  LogNotBuilt(L"licence version", "install");
  return std::wstring();
}

std::wstring FetchPrivacyVersion(unsigned) {
  LogNotBuilt(L"privacy version", "install");
  return std::wstring();
}

}  // namespace lum
