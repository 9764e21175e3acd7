#include "browser/promo_rules.h"

#include <cerrno>
#include <cstdlib>

#include "base/json.h"

namespace lum {

const char* const kPromoTipNames[6] = {"opera", "boottime", "upgrade_now",
                                       "medal", "popup",    "reminder"};

namespace {

bool ParseObject(const std::string& text, JsonValue* root) {
  return ParseJson(text, root) && root->IsObject();
}

// A member as text: the session stores strings, a hand-made "promo" may not.
bool MemberText(const JsonValue& root, const char* name, std::string* text) {
  if (!root.Has(name)) return false;
  const JsonValue& value = root[name];
  if (value.IsString()) {
    *text = value.AsString();
  } else if (value.IsIntegral()) {
    *text = std::to_string(value.AsInt64());
  } else if (value.IsBool()) {
    *text = value.AsBool() ? "1" : "0";
  } else {
    text->clear();
  }
  return true;
}

// Leading decimal number; false when there is none.
bool ParseNumber(const std::string& text, long long* number) {
  errno = 0;
  char* end = nullptr;
  const long long value = std::strtoll(text.c_str(), &end, 10);
  if (end == text.c_str()) return false;
  *number = errno == ERANGE ? (value < 0 ? -1 : 1000) : value;
  return true;
}

}  // namespace

int ClampTipDelay(const std::string& text) {
  long long days = 0;
  if (!ParseNumber(text, &days) || days < 0) return 0;
  return days > 7 ? 7 : static_cast<int>(days);
}

PromoSettings EvaluatePromoSettings(const std::string& json) {
  PromoSettings settings;
  JsonValue root;
  if (!ParseObject(json, &root)) return settings;
  std::string text;
  settings.operaOffer = MemberText(root, "opera_ins", &text) && !text.empty() && text != "0";
  long long number = 0;
  if (MemberText(root, "full_check", &text) && ParseNumber(text, &number))
    settings.fullCheck = number < 0 || number > 2 ? 0 : static_cast<int>(number);
  if (MemberText(root, "desktop_plus", &text) && ParseNumber(text, &number))
    settings.desktopPlus = number >= 1 ? 1 : 0;
  for (const char* tip : kPromoTipNames)
    if (MemberText(root, tip, &text)) settings.tipDelays[tip] = ClampTipDelay(text);
  settings.hasVer = MemberText(root, "ver", &settings.ver);
  return settings;
}

std::string PromoTipsJson(const PromoSettings& settings, int64_t nowSeconds) {
  JsonValue root = JsonValue::Object();
  if (settings.hasVer) root["ver"] = settings.ver;
  for (const char* tip : kPromoTipNames) {
    const auto found = settings.tipDelays.find(tip);
    root[tip] = found == settings.tipDelays.end()
                    ? std::string("0")
                    : std::to_string(nowSeconds + static_cast<int64_t>(found->second) * 86400);
  }
  return WriteJson(root);
}

bool PartnerIdMatches(const std::wstring& text) {
  if (text.empty()) return false;
  if (text == L"edition Lum" || text == L"Lum") return true;
  return text.size() == 5 && text.compare(0, 4, L"Lum-") == 0 && text[4] >= L'0' && text[4] <= L'9';
}

bool CampaignRewardHash(const std::wstring& campaign, std::wstring* hash) {
  if (campaign.size() <= 6) return false;
  const std::wstring rest = campaign.substr(6);
  for (wchar_t c : rest) {
    const bool alnum =
        (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z');
    if (!alnum) return false;
  }
  *hash = rest;
  return true;
}

}  // namespace lum
