#include "browser/partner_offer_win.h"

#include <windows.h>

#include <ctime>

#include "base/install_log.h"
#include "base/text.h"
#include "browser/browser_config.h"
#include "browser/browser_detect_win.h"
#include "browser/browser_names.h"
#include "browser/config_cipher.h"
#include "system/registry_win.h"
#include "system/shell_link_win.h"

namespace lum {

namespace {

constexpr const char* kLog = "partner";
constexpr const wchar_t* kUserProfile = L"SOFTWARE\\LumBastion\\UserProfile";
constexpr const wchar_t* kDesktopLite = L"SOFTWARE\\Lumdesktoplite";

std::wstring Where(HKEY root, const std::wstring& key, const std::wstring& name) {
  return std::wstring(root == HKEY_CURRENT_USER ? L"HKCU\\" : L"HKLM\\") + key + L" " + name;
}

bool WriteDword(HKEY root, const std::wstring& key, const std::wstring& name, DWORD value) {
  RegKey reg;
  const bool ok = reg.Create(root, key, KEY_SET_VALUE, RegView::k32) && reg.WriteDword(name, value);
  log::Action(kLog, L"write DWORD " + std::to_wstring(value), Where(root, key, name),
              ok ? 0 : reg.LastError());
  return ok;
}

bool WriteText(HKEY root, const std::wstring& key, const std::wstring& name,
               const std::wstring& value) {
  RegKey reg;
  const bool ok =
      reg.Create(root, key, KEY_SET_VALUE, RegView::k32) && reg.WriteString(name, value);
  log::Action(kLog, L"write \"" + value + L"\"", Where(root, key, name), ok ? 0 : reg.LastError());
  return ok;
}

bool HasValue(HKEY root, const std::wstring& key, const std::wstring& name) {
  RegKey reg;
  return reg.Open(root, key, KEY_QUERY_VALUE, RegView::k32) && reg.HasValue(name);
}

void WriteIfAbsent(const std::wstring& key, const std::wstring& name, DWORD value) {
  if (!HasValue(HKEY_LOCAL_MACHINE, key, name)) WriteDword(HKEY_LOCAL_MACHINE, key, name, value);
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
  if (!WriteDword(HKEY_LOCAL_MACHINE, kBundleKey, L"NeedOpera", 1)) return false;
  if (WriteDword(HKEY_LOCAL_MACHINE, kBundleKey, L"NeedOperaCount", 0)) return true;
  // The product counts its reminders from "NeedOperaCount"; without it the
  // request must not stand.
  RegKey reg;
  const bool removed = reg.Open(HKEY_LOCAL_MACHINE, kBundleKey, KEY_SET_VALUE, RegView::k32) &&
                       reg.DeleteValue(L"NeedOpera");
  log::Action(kLog, L"roll back \"NeedOpera\"", Where(HKEY_LOCAL_MACHINE, kBundleKey, L"NeedOpera"),
              removed ? 0 : 1);
  return false;
}

void WriteOperaOfferRecords(const SessionSettings& session) {
  if (!session.offerChecked) return;
  WriteDword(HKEY_LOCAL_MACHINE, kUserProfile, L"InstallOpera", 1);
  WriteOperaBundleFlags();
}

void SetIntroFlags(const SessionSettings& session) {
  if (!HasValue(HKEY_LOCAL_MACHINE, kIntroKey, L"OperaShown")) {
    DWORD installOpera = 0;
    RegKey profile;
    if (profile.Open(HKEY_LOCAL_MACHINE, kUserProfile, KEY_QUERY_VALUE, RegView::k32))
      profile.ReadDword(L"InstallOpera", &installOpera);
    const bool show = !session.offerChecked && installOpera == 0 && !OperaInstalled();
    WriteDword(HKEY_LOCAL_MACHINE, kIntroKey, L"OperaShown", show ? 1 : 0);
  }

  const bool firstNews = !HasValue(HKEY_LOCAL_MACHINE, kDailyNewsKey, L"ShowV1");
  if (firstNews) {
    WriteDword(HKEY_LOCAL_MACHINE, kDailyNewsKey, L"ShowV1", 1);
    WriteDword(HKEY_LOCAL_MACHINE, kDailyNewsKey, L"Show", 1);
  }
  WriteIfAbsent(kIntroKey, L"NewsShown", firstNews ? 0 : 1);

  if (!HasValue(HKEY_LOCAL_MACHINE, kIntroKey, L"DesktopPlusShown")) {
    if (!session.productInstalled && !DesktopHasOnlyShortcuts()) {
      WriteDword(HKEY_LOCAL_MACHINE, kIntroKey, L"DesktopPlusShown", 0);
    } else {
      const bool shown = HasValue(HKEY_CURRENT_USER, kDesktopLite, L"first_show_desktoplite");
      WriteDword(HKEY_LOCAL_MACHINE, kIntroKey, L"DesktopPlusShown", shown ? 0 : 1);
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
              Where(HKEY_LOCAL_MACHINE, kPromoTipsRecordKey, L"Config"), ok ? 0 : reg.LastError());
  return ok;
}

bool RecordCampaign(const std::wstring& campaignOption) {
  std::wstring hash;
  if (!CampaignRewardHash(campaignOption, &hash)) {
    if (!campaignOption.empty())
      log::Note(kLog, L"campaign value without a reward hash: not recorded");
    return false;
  }
  const bool id = WriteText(HKEY_LOCAL_MACHINE, kCampaignKey, L"CampaignId", kCampaignId);
  const bool reward = WriteText(HKEY_LOCAL_MACHINE, kCampaignKey, L"RewadHash", hash);
  return id && reward;
}

}  // namespace lum
