// The registry records through which the installed product carries the
// partner offer, the introduction pages, the promotion tips and the campaign
// on. All HKLM writes are in the 32-bit view; every write is logged.
//
// Threading: the install worker (and start-up for SessionPromoSettings).
#pragma once
#include <string>

#include "browser/promo_rules.h"
#include "session/session_settings.h"

namespace lum {

constexpr const wchar_t* kBundleKey = L"Software\\LumBastion\\Bundle";
constexpr const wchar_t* kIntroKey = L"SOFTWARE\\LumBastion\\Intro";
constexpr const wchar_t* kDailyNewsKey = L"SOFTWARE\\LumBastion\\DailyNews";
constexpr const wchar_t* kPromoTipsRecordKey = L"Software\\LumBastion\\PromoTips";
constexpr const wchar_t* kCampaignKey = L"Software\\LumBastion\\Campaign";

// The session's promotion options, evaluated.
PromoSettings SessionPromoSettings(const SessionSettings& session);

// "NeedOpera" = 1, then "NeedOperaCount" = 0; when the count cannot be
// written "NeedOpera" is removed again. True when both were written.
bool WriteOperaBundleFlags();
// The product-registry step's offer records: with the Opera offer accepted,
// "InstallOpera" under UserProfile and the bundle flags.
void WriteOperaOfferRecords(const SessionSettings& session);

// "OperaShown", "NewsShown" (with "DailyNews"), "DesktopPlusShown", each only
// when not yet present.
void SetIntroFlags(const SessionSettings& session);

// "Config" of the promotion tips: the tips' earliest show times, enciphered
// for the product.
bool WritePromoTipsConfig(const PromoSettings& settings);

// "CampaignId" and "RewadHash" from the "campaign" option; nothing for a
// value without a usable reward hash. True when both were written.
bool RecordCampaign(const std::wstring& campaignOption);

}  // namespace lum
