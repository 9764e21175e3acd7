#include "app/later_components_win.h"

#include "app/install_log.h"
#include "app/session_settings.h"
#include "app/text.h"

namespace lum {

namespace {

void Unavailable(const wchar_t* component) {
  log::Note("startup", std::wstring(component) + L": not available in this build");
}

}  // namespace

OfferAnswer QueryOffer(bool apply) {
  Unavailable(L"offer query");
  if (apply) {
    // No usable answer: the offer is left open, preselected only for channel 101.
    SessionSettings& session = Session();
    session.offerMode = 2;
    session.offerChecked = EqualsNoCase(session.channel, L"101");
  }
  return OfferAnswer();
}

bool StartTrayLink() {
  Unavailable(L"tray service link");
  return false;
}

void StopTrayLink() {}

void SendChannelReport(unsigned) { Unavailable(L"channel report"); }
void SendEnvironmentReport(unsigned) { Unavailable(L"environment report"); }
void SendResultReport(int) { Unavailable(L"result report"); }

std::wstring GetReferralLink() {
  Unavailable(L"referral link");
  return std::wstring();
}

bool OpenLinkWithLoweredRights(const std::wstring&) {
  Unavailable(L"utility module link opening");
  return false;
}

bool RestartWindows() {
  Unavailable(L"restart of Windows");
  return false;
}

}  // namespace lum
