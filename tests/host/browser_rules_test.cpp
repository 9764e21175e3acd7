// The browser and partner rules that need no Windows: names, launch rules,
// signer names, promotion options, partner ids, campaigns, profiles.ini and
// the configuration cipher with the product side's decoder.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>

#include "base/text.h"
#include "browser/browser_names.h"
#include "browser/config_cipher.h"
#include "browser/firefox_profiles.h"
#include "browser/partner_opera.h"
#include "browser/promo_rules.h"
#include "install/product_records.h"

namespace lum {
namespace {

TEST(BrowserNames, KnownKindsAndUnknownExecutables) {
  const std::pair<int, const wchar_t*> kinds[] = {
      {1, L"ie"},        {2, L"Lumse6"},         {3, L"Lumse"},
      {4, L"Lumchrome"}, {100, L"googlechrome"}, {101, L"opera"},
      {102, L"yandex"},  {103, L"firefox"},      {104, L"microsoftedge"},
      {105, L"amigo"},   {106, L"operaLume"}};
  for (const auto& kind : kinds)
    EXPECT_EQ(BrowserShortName(kind.first, L"C:\\x\\a.exe"), kind.second);
  EXPECT_EQ(BrowserShortName(kUnknownBrowser, L"D:\\Tools\\MyBrowser.exe"), L"unkn_MyBrowser.exe");
  EXPECT_EQ(BrowserShortName(kUnknownBrowser, L""), L"unkn");
  EXPECT_EQ(BrowserShortName(kUnknownBrowser, L"MicrosoftEdge"), L"unkn");  // no extension
  EXPECT_EQ(BrowserShortName(kUnknownBrowser, L"C:\\Tools\\"), L"unkn");    // no file name
}

TEST(BrowserNames, ExecutableOfOpenCommand) {
  EXPECT_EQ(ExecutableOfCommand(L"\"C:\\Program Files\\B\\b.exe\" -- \"%1\""),
            L"C:\\Program Files\\B\\b.exe");
  EXPECT_EQ(
      ExecutableOfCommand(L"C:\\Program Files\\Mozilla Firefox\\firefox.exe -osint -url \"%1\""),
      L"C:\\Program Files\\Mozilla Firefox\\firefox.exe");
  EXPECT_EQ(ExecutableOfCommand(L"  C:\\W\\winebrowser.EXE %1"), L"C:\\W\\winebrowser.EXE");
  EXPECT_EQ(ExecutableOfCommand(L""), L"");
}

TEST(BrowserNames, LaunchRulesBySignerAndMode) {
  // The maker's Chromium build is not mistaken for Chrome, nor its browser for Yandex's.
  LaunchRule rule = LaunchRuleFor(L"C:\\Lum\\Lumchrome.exe");
  EXPECT_EQ(rule.signer, kSignerMaker);
  EXPECT_EQ(rule.mode, StartMode::kMediumIntegrity);
  rule = LaunchRuleFor(L"C:\\Lum\\LUMBROWSER.EXE");
  EXPECT_EQ(rule.signer, kSignerMaker);
  EXPECT_EQ(rule.runningName, L"lumbrowser.exe");
  rule = LaunchRuleFor(L"C:\\Y\\browser.exe");
  EXPECT_EQ(rule.signer, kSignerYandex);
  EXPECT_EQ(rule.mode, StartMode::kRunningOrMedium);
  EXPECT_EQ(LaunchRuleFor(L"C:\\G\\chrome.exe").mode, StartMode::kChromeRule);
  rule = LaunchRuleFor(L"C:\\O\\launcher.exe");
  EXPECT_EQ(rule.signer, kSignerOpera);
  EXPECT_EQ(rule.runningName, L"opera.exe");
  EXPECT_EQ(LaunchRuleFor(L"C:\\M\\firefox.exe").signer, kSignerMozilla);
  // Whole file names only; a bare name is held to its signer as well.
  EXPECT_EQ(LaunchRuleFor(L"firefox.exe").signer, kSignerMozilla);
  EXPECT_EQ(LaunchRuleFor(L"C:\\T\\MyBrowser.exe").signer, kSignerNone);  // not "browser.exe"
  EXPECT_EQ(LaunchRuleFor(L"\"C:\\M\\Firefox.exe\"").signer, kSignerMozilla);
  EXPECT_EQ(LaunchRuleFor(L"C:\\T\\MyBrowser.exe").mode, StartMode::kMediumIntegrity);
}

TEST(BrowserNames, SignerNamesAndCommandLine) {
  EXPECT_TRUE(SignerNameMatches(kSignerMozilla, L"Mozilla Corporation"));
  EXPECT_TRUE(SignerNameMatches(kSignerGoogle, L"google LLC"));
  EXPECT_TRUE(SignerNameMatches(kSignerOpera, L"Opera Norway AS"));
  EXPECT_TRUE(SignerNameMatches(kSignerMailRu, L"Mail.Ru, LLC"));
  EXPECT_FALSE(SignerNameMatches(kSignerMozilla, L"Not Mozilla Corporation"));
  EXPECT_FALSE(SignerNameMatches(kSignerMozilla, L"Mozillaz Ltd"));
  EXPECT_FALSE(SignerNameMatches(kSignerMozilla, L"Google LLC"));
  EXPECT_FALSE(SignerNameMatches(kSignerNone, L"Mozilla Corporation"));
  EXPECT_EQ(SignerPublishers(kSignerMaker).size(), 4u);
  for (const std::wstring& name : SignerPublishers(kSignerMaker))
    EXPECT_TRUE(SignerNameMatches(kSignerMaker, name));
  EXPECT_EQ(BrowserCommandLine(L"C:\\B B\\b.exe", L"https://x/?a=1"),
            L"\"C:\\B B\\b.exe\" \"https://x/?a=1\"");
  EXPECT_EQ(BrowserCommandLine(L"\"C:\\b.exe\"", L""), L"\"C:\\b.exe\" ");
}

TEST(PromoRules, OptionsClampAndDefaults) {
  PromoSettings s = EvaluatePromoSettings(
      R"({"opera_ins":"1","opera":"12","boottime":"-4","medal":"x","popup":"7","full_check":"5","desktop_plus":"3"})");
  EXPECT_TRUE(s.operaOffer);
  EXPECT_EQ(s.tipDelays["opera"], 7);
  EXPECT_EQ(s.tipDelays["boottime"], 0);
  EXPECT_EQ(s.tipDelays["medal"], 0);
  EXPECT_EQ(s.tipDelays["popup"], 7);
  EXPECT_EQ(s.tipDelays.count("reminder"), 0u);
  EXPECT_EQ(s.fullCheck, 0);
  EXPECT_EQ(s.desktopPlus, 1);
  EXPECT_EQ(EvaluatePromoSettings(R"({"full_check":"2","desktop_plus":"0"})").fullCheck, 2);
  EXPECT_EQ(EvaluatePromoSettings(R"({"full_check":"2","desktop_plus":"0"})").desktopPlus, 0);
  EXPECT_FALSE(EvaluatePromoSettings(R"({"opera_ins":"0"})").operaOffer);
  EXPECT_FALSE(EvaluatePromoSettings(R"({"opera":"3"})").operaOffer);
  // A source that cannot be evaluated: offer off, 0, 1.
  for (const char* bad : {"", "[1,2]", "{\"opera_ins\":", "\"text\""}) {
    s = EvaluatePromoSettings(bad);
    EXPECT_FALSE(s.operaOffer) << bad;
    EXPECT_EQ(s.fullCheck, 0) << bad;
    EXPECT_EQ(s.desktopPlus, 1) << bad;
    EXPECT_TRUE(s.tipDelays.empty()) << bad;
  }
}

TEST(PromoRules, TipsRecordKeepsVerAndTimesEachTip) {
  const PromoSettings s =
      EvaluatePromoSettings(R"({"ver":"3.1","opera":"12","boottime":"-1","medal":"2"})");
  const std::string json = PromoTipsJson(s, 1000000000);
  EXPECT_NE(json.find(R"("ver":"3.1")"), std::string::npos) << json;
  EXPECT_NE(json.find(R"("opera":")" + std::to_string(1000000000 + 7 * 86400) + "\""),
            std::string::npos);
  EXPECT_NE(json.find(R"("boottime":"1000000000")"), std::string::npos) << json;
  EXPECT_NE(json.find(R"("medal":")" + std::to_string(1000000000 + 2 * 86400) + "\""),
            std::string::npos);
  for (const char* absent : {"upgrade_now", "popup", "reminder"})
    EXPECT_NE(json.find("\"" + std::string(absent) + "\":\"0\""), std::string::npos) << absent;
  EXPECT_EQ(PromoTipsJson(EvaluatePromoSettings("{}"), 5).find("ver"), std::string::npos);
}

TEST(PromoRules, PartnerIdsAndCampaignTails) {
  EXPECT_TRUE(PartnerIdMatches(L"Lum-7"));
  EXPECT_TRUE(PartnerIdMatches(L"Lum"));
  EXPECT_TRUE(PartnerIdMatches(L"edition Lum"));
  EXPECT_FALSE(PartnerIdMatches(L"Lum-a"));
  EXPECT_FALSE(PartnerIdMatches(L"Lum-12"));
  EXPECT_FALSE(PartnerIdMatches(L"lum-1"));
  EXPECT_FALSE(PartnerIdMatches(L""));
  std::wstring hash = L"untouched";
  EXPECT_FALSE(CampaignRewardHash(L"", &hash));
  EXPECT_FALSE(CampaignRewardHash(L"spring", &hash));     // six characters
  EXPECT_FALSE(CampaignRewardHash(L"spring-a1", &hash));  // "-" in the tail
  EXPECT_FALSE(CampaignRewardHash(L"springA b", &hash));
  EXPECT_EQ(hash, L"untouched");
  ASSERT_TRUE(CampaignRewardHash(L"cmp01:Ab3dE9", &hash));
  EXPECT_EQ(hash, L"Ab3dE9");
}

TEST(PartnerOpera, PreferencesAndTrackingData) {
  EXPECT_TRUE(InstallerPrefsSingleProfile(R"({"single_profile":true})"));
  EXPECT_FALSE(InstallerPrefsSingleProfile(R"({"single_profile":"true"})"));
  EXPECT_TRUE(PreferencesNamePartner(R"({"distribution":{"partner_id":"Lum-3"}})"));
  EXPECT_FALSE(PreferencesNamePartner(R"({"distribution":{"partner_id":"Lum-33"}})"));
  EXPECT_FALSE(PreferencesNamePartner(R"({"partner_id":5})"));
  EXPECT_TRUE(TrackingDataNamesPartner(R"(v2:{"utm":{"source":"www-LUM-bundle"}})"));
  EXPECT_FALSE(TrackingDataNamesPartner(
      R"({"utm":{"source":"lum"}})"));  // nothing before ':' -> JSON broken
  EXPECT_FALSE(TrackingDataNamesPartner(R"(v2:{"utm":{"source":"other"}})"));
  EXPECT_FALSE(TrackingDataNamesPartner(R"(v2:{"utm":"lum"})"));
}

TEST(FirefoxProfiles, OrderPathsAndUnsafeEntries) {
  const std::wstring ini =
      L"[General]\r\nStartWithLastProfile=1\r\n\r\n[Profile10]\r\nPath=Profiles/ten.default\r\n"
      L"[Profile1]\nName=b\nIsRelative=1\nPath=Profiles/b.default\n"
      L"[Profile0]\nName=a\nPath=Profiles/gone.default\n"
      L"[Profile2]\nIsRelative=0\nPath=D:\\Elsewhere\\c\n"
      L"[Profile3]\nPath=..\\..\\Windows\n[Profile05]\nPath=x\n[Profile4]\nName=no path\n"
      L"[Profile100]\nPath=y\n[profile6]\nPath=z\n";
  const std::vector<FirefoxProfileEntry> entries = ParseFirefoxProfiles(ini);
  ASSERT_EQ(entries.size(), 5u);
  EXPECT_EQ(entries[0].number, 0);
  EXPECT_EQ(entries[1].number, 1);
  EXPECT_EQ(entries[1].path, L"Profiles\\b.default");
  EXPECT_EQ(entries[4].number, 10);
  const std::wstring ff = L"C:\\U\\Mozilla\\Firefox";
  EXPECT_EQ(FirefoxProfileFolder(ff, entries[1]), L"C:\\U\\Mozilla\\Firefox\\Profiles\\b.default");
  // An absolute path is never followed: it could lead anywhere on the machine.
  EXPECT_EQ(FirefoxProfileFolder(ff, entries[2]), L"");
  EXPECT_EQ(FirefoxProfileFolder(ff, {7, L"C:\\U\\Mozilla\\Firefox\\Profiles\\abs", false}), L"");
  EXPECT_EQ(FirefoxProfileFolder(ff, {8, L"C:\\Windows", true}), L"");  // relative written as absolute
  EXPECT_EQ(FirefoxProfileFolder(ff, entries[3]), L"");  // climbs out
}

TEST(FirefoxProfiles, ByteOrderMarkDoesNotHideTheFirstProfile) {
  const std::vector<FirefoxProfileEntry> entries =
      ParseFirefoxProfiles(L"\uFEFF[Profile0]\r\nPath=Profiles/a.default\r\n");
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].path, L"Profiles\\a.default");
}

std::string RunShell(const std::string& command) {
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return out;
  char buffer[512];
  size_t n = 0;
  while ((n = fread(buffer, 1, sizeof(buffer), pipe)) > 0) out.append(buffer, n);
  const int status = pclose(pipe);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? out : "<failed>";
}

TEST(ConfigCipher, ProductDecoderReadsWhatTheInstallerWrote) {
  const std::string json = R"({"boottime":"1700000000","opera":"1700604800","ver":"ü"})";
  const std::string sealed = EncipherConfig(json, "kesvarn");
  EXPECT_EQ(sealed.find("boottime"), std::string::npos);
  std::string back;
  ASSERT_TRUE(DecipherConfig(sealed, "kesvarn", &back));
  EXPECT_EQ(back, json);
  ASSERT_TRUE(DecipherConfig(sealed, "kesvarm", &back));
  EXPECT_NE(back, json);
  EXPECT_FALSE(DecipherConfig("not*base64", "kesvarn", &back));
  const std::string tool = std::string(LUM_TOOLS_DIR) + "/config_decode";
  EXPECT_EQ(RunShell("'" + tool + "' '" + sealed + "'"), json + "\n");
  EXPECT_EQ(RunShell("printf '%s' '" + sealed + "' | '" + tool + "'"), json + "\n");
  EXPECT_EQ(RunShell("'" + tool + "' 'not*base64'"), "<failed>");
}

// The theme and business hash records as the installer scrambles them and the
// product's reader (the shipped tool, told the record) reads them back; each
// record has its own key, so one read as another is not its JSON.
TEST(ConfigCipher, ProductDecoderReadsTheThemeAndBusinessHashRecords) {
  const std::string theme = ThemeRecordJson(1700000000, L"smurf", L"0123456789abcdef0123456789abcdef");
  EXPECT_EQ(theme,
            R"({"theme_name":"smurf","theme_type":1,"time":"1700000000","uid":"0123456789abcdef0123456789abcdef"})");
  const std::string hash = BusinessHashJson(L"a\"b/\u00e9");
  std::wstring back;
  ASSERT_TRUE(BusinessHashFromJson(hash, &back));
  EXPECT_EQ(back, L"a\"b/\u00e9");

  const std::string tool = std::string(LUM_TOOLS_DIR) + "/config_decode";
  const std::string sealedTheme = WideToUtf8(ScrambleRecord(ProductRecord::kTheme, theme));
  const std::string sealedHash = WideToUtf8(ScrambleRecord(ProductRecord::kBusinessHash, hash));
  EXPECT_EQ(sealedTheme.find("smurf"), std::string::npos);
  EXPECT_EQ(RunShell("'" + tool + "' --record theme '" + sealedTheme + "'"), theme + "\n");
  EXPECT_EQ(RunShell("'" + tool + "' --record hash '" + sealedHash + "'"), hash + "\n");
  EXPECT_NE(RunShell("'" + tool + "' --record hash '" + sealedTheme + "'"), theme + "\n");
  EXPECT_NE(RunShell("'" + tool + "' '" + sealedHash + "'"), hash + "\n");
  EXPECT_EQ(RunShell("'" + tool + "' --record nosuch '" + sealedHash + "'"), "<failed>");

  std::string json;
  ASSERT_TRUE(UnscrambleRecord(ProductRecord::kBusinessHash, Utf8ToWide(sealedHash), &json));
  EXPECT_EQ(json, hash);
  EXPECT_FALSE(BusinessHashFromJson(theme, &back));
  EXPECT_FALSE(BusinessHashFromJson("{\"hash\":7}", &back));
  EXPECT_FALSE(BusinessHashFromJson("not json", &back));
}

}  // namespace
}  // namespace lum
