// The promotion and partner rules: what the session's promotion options
// switch on, the partner id of the partner edition of Opera, the campaign
// tail and the promotion-tips record.
#pragma once
#include <cstdint>
#include <map>
#include <string>

namespace lum {

// The promotion options as the installer uses them.
struct PromoSettings {
  bool operaOffer = false;  // "opera_ins" present and not "0"
  int fullCheck = 0;        // 0-2; values above 2 count as 0
  int desktopPlus = 1;      // 0-1; values above 1 count as 1
  // Tip name -> delay in days (0-7), for the tips that are present.
  std::map<std::string, int> tipDelays;
  std::string ver;  // "ver", kept for the product
  bool hasVer = false;
};

// From the session's compact JSON object; text that is not a JSON object
// gives the defaults (offer off, 0, 1, no tips).
PromoSettings EvaluatePromoSettings(const std::string& json);

// A delay text clamped to 0-7 days; text that is not a number counts as 0.
int ClampTipDelay(const std::string& text);

// The tips the product delays, in the order of its record.
extern const char* const kPromoTipNames[6];

// The JSON of the promotion-tips record: "ver" when the settings carry one,
// and for each tip the time (seconds) from which it may show, or "0" when the
// settings do not name it.
std::string PromoTipsJson(const PromoSettings& settings, int64_t nowSeconds);

// "edition Lum", "Lum", or "Lum-" followed by exactly one digit.
bool PartnerIdMatches(const std::wstring& text);

// The campaign option's reward hash: the value without its first six
// characters, only when that rest is not empty and only letters and digits.
bool CampaignRewardHash(const std::wstring& campaign, std::wstring* hash);

}  // namespace lum
