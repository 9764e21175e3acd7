#include "browser/partner_offer_win.h"

#include <windows.h>

#include <ctime>

#include "base/install_log.h"
#include "base/text.h"
#include "browser/browser_config.h"
#include "browser/browser_detect_win.h"
#include "browser/browser_names.h"
#include "browser/config_cipher.h"
#include "system/registry_logged_win.h"
#include "system/registry_win.h"
#include "system/shell_link_win.h"

namespace lum {

namespace {

constexpr const char* kLog = "partner";
constexpr const wchar_t* kUserProfile = L"SOFTWARE\\LumBastion\\UserProfile";
constexpr const wchar_t* kDesktopLite = L"SOFTWARE\\Lumdesktoplite";

bool HasValue(HKEY root, const std::wstring& key, const std::wstring& name) {
  RegKey reg;
  return reg.Open(root, key, KEY_QUERY_VALUE, RegView::k32) && reg.HasValue(name);
}

void WriteIfAbsent(const std::wstring& key, const std::wstring& name, DWORD value) {
  if (!HasValue(HKEY_LOCAL_MACHINE, key, name)) LoggedWriteDword(kLog, HKEY_LOCAL_MACHINE, key, name, value, RegView::k32);
}

bool OperaInstalled() {
  std::vector<BrowserRecord> browsers;
  DetectBrowsers(&browsers);
  for (const BrowserRecord& record : browsers)
    if (record.kind == kBrowserOpera || record.kind == kBrowserPartnerOpera) return true;
  return false;
}

}  // namespace

PromoSettings SessionPromoSettings(const SessionSettings& session) {
  return EvaluatePromoSettings(WideToUtf8(session.promoOptions));
}

bool WriteOperaBundleFlags() {
  if (!LoggedWriteDword(kLog, HKEY_LOCAL_MACHINE, kBundleKey, L"NeedOpera", 1, RegView::k32)) return false;
  if (LoggedWriteDword(kLog, HKEY_LOCAL_MACHINE, kBundleKey, L"NeedOperaCount", 0, RegView::k32)) return true;
  // The product counts its reminders from "NeedOperaCount"; without it the
  // request must not stand.
  RegKey reg;
  const bool removed = reg.Open(HKEY_LOCAL_MACHINE, kBundleKey, KEY_SET_VALUE, RegView::k32) &&
                       reg.DeleteValue(L"NeedOpera");
  log::Action(kLog, L"roll back \"NeedOpera\"", RegistryPlace(HKEY_LOCAL_MACHINE, kBundleKey, L"NeedOpera"),
              removed ? 0 : 1);
  return false;
}

void WriteOperaOfferRecords(const SessionSettings& session) {
  if (!session.offerChecked) return;
  LoggedWriteDword(kLog, HKEY_LOCAL_MACHINE, kUserProfile, L"InstallOpera", 1, RegView::k32);
  WriteOperaBundleFlags();
}

void SetIntroFlags(const SessionSettings& session) {
  if (!HasValue(HKEY_LOCAL_MACHINE, kIntroKey, L"OperaShown")) {
    DWORD installOpera = 0;
    RegKey profile;
    if (profile.Open(HKEY_LOCAL_MACHINE, kUserProfile, KEY_QUERY_VALUE, RegView::k32))
      profile.ReadDword(L"InstallOpera", &installOpera);
    const bool show = !session.offerChecked && installOpera == 0 && !OperaInstalled();
    LoggedWriteDword(kLog, HKEY_LOCAL_MACHINE, kIntroKey, L"OperaShown", show ? 1 : 0, RegView::k32);
  }

  const bool firstNews = !HasValue(HKEY_LOCAL_MACHINE, kDailyNewsKey, L"ShowV1");
  if (firstNews) {
    LoggedWriteDword(kLog, HKEY_LOCAL_MACHINE, kDailyNewsKey, L"ShowV1", 1, RegView::k32);
    LoggedWriteDword(kLog, HKEY_LOCAL_MACHINE, kDailyNewsKey, L"Show", 1, RegView::k32);
  }
  WriteIfAbsent(kIntroKey, L"NewsShown", firstNews ? 0 : 1);

  if (!HasValue(HKEY_LOCAL_MACHINE, kIntroKey, L"DesktopPlusShown")) {
    if (!session.productInstalled && !DesktopHasOnlyShortcuts()) {
      LoggedWriteDword(kLog, HKEY_LOCAL_MACHINE, kIntroKey, L"DesktopPlusShown", 0, RegView::k32);
    } else {
      const bool shown = HasValue(HKEY_CURRENT_USER, kDesktopLite, L"first_show_desktoplite");
      LoggedWriteDword(kLog, HKEY_LOCAL_MACHINE, kIntroKey, L"DesktopPlusShown", shown ? 0 : 1, RegView::k32);
    }
  }
}

bool WritePromoTipsConfig(const PromoSettings& settings) {
  const std::string json = PromoTipsJson(settings, static_cast<int64_t>(std::time(nullptr)));
  const std::string sealed = EncipherConfig(json, kPromoTipsKey);
  RegKey reg;
  const bool ok =
      reg.Create(HKEY_LOCAL_MACHINE, kPromoTipsRecordKey, KEY_SET_VALUE, RegView::k32) &&
      reg.WriteString(L"Config", Utf8ToWide(sealed));
  log::Action(kLog, L"write promotion tips (enciphered " + Utf8ToWide(json) + L")",
              RegistryPlace(HKEY_LOCAL_MACHINE, kPromoTipsRecordKey, L"Config"), ok ? 0 : reg.LastError());
  return ok;
}

bool RecordCampaign(const std::wstring& campaignOption) {
  std::wstring hash;
  if (!CampaignRewardHash(campaignOption, &hash)) {
    if (!campaignOption.empty())
      log::Note(kLog, L"campaign value without a reward hash: not recorded");
    return false;
  }
  const bool id = LoggedWriteString(kLog, HKEY_LOCAL_MACHINE, kCampaignKey, L"CampaignId", kCampaignId, RegView::k32);
  const bool reward = LoggedWriteString(kLog, HKEY_LOCAL_MACHINE, kCampaignKey, L"RewadHash", hash, RegView::k32);
  return id && reward;
}

}  // namespace lum
