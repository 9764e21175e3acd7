// Entry points of components that start-up calls but that this build does not
// carry yet (statistics reports, the referral page, the offer server, the
// tray service link, the self-protection switch, the restart). Each logs that
// it is not available and answers what an unavailable component answers:
// nothing sent, no link, no offer answer, no tray link. When a component
// lands, its real definition replaces the one in later_components_win.cpp.
#pragma once
#include <cstdint>
#include <string>

namespace lum {

// Offer server answer (QueryOffer). `answered` false: no usable answer.
struct OfferAnswer {
  bool answered = false;
  int mode = 0;               // 2: the decision is left to the installer
  uint64_t languageMask = 0;  // bit LanguageBit(code) set: offered for that language
};
OfferAnswer QueryOffer(bool apply);

bool StartTrayLink();
void StopTrayLink();
void SendChannelReport(unsigned timeoutMs);
void SendEnvironmentReport(unsigned timeoutMs);
void SendResultReport(int result);
std::wstring GetReferralLink();
// Opens `url` through the product's utility module with lowered rights.
bool OpenLinkWithLoweredRights(const std::wstring& url);
bool RestartWindows();

}  // namespace lum
