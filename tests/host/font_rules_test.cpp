#include "i18n/font_rules.h"

#include <gtest/gtest.h>

#include "base/text.h"

namespace lum {
namespace {

// The rules the installer ships, with the language list of the shipped table.
const wchar_t kTable[] =
    L"[default]\r\nlanguages=en;zh-TW;ru;tr;es;pt;vi;zh-CN;hi;ja;de;fr;it;pl;\r\n"
    L"[font]\r\n"
    L"selector01=font:Microsoft JhengHei\r\n"
    L"selector02=os_prime_langid:0x04;font:Microsoft JhengHei\r\n"
    L"selector03=os_prime_langid:0x04;os_sub_langid:0x02;font:Microsoft YaHei\r\n"
    L"selector05=ui_language:ja;font:Meiryo\r\n"
    L"selector06=ui_language:zh-CN;font:Microsoft YaHei\r\n"
    L"selector07=ui_language:zh-TW;font:Microsoft JhengHei\r\n"
    L"selector08=os:winxp;font:Tahoma\r\n"
    L"selector09=os:winxp;os_prime_langid:0x01;ui_language:ar;font:Microsoft Sans Serif\r\n"
    L"selector10=os:winxp;os_prime_langid:0x11;ui_language:ja;font:MS UI Gothic\r\n"
    L"selector11=os:winxp;os_prime_langid:0x39;ui_language:hi;font:Trebuchet MS\r\n"
    L"selector12=os:win10;ui_language:ja;font:Yu Gothic UI\r\n";

IniTable Table(const std::wstring& text) {
  IniTable table;
  const std::vector<uint8_t> bytes = WideToUtf16Le(text, true);
  EXPECT_TRUE(table.Parse(bytes.data(), bytes.size()));
  return table;
}

FontFaceTable Faces(FontOsClass os, uint16_t uiLanguage, const std::wstring& text = kTable) {
  FontFaceTable faces;
  EXPECT_TRUE(ChooseFontFaces(Table(text), FontSystemFacts{os, uiLanguage}, &faces));
  return faces;
}

TEST(FontRulesTest, OsClassesFromVersions) {
  EXPECT_EQ(FontOsClass::kWinXp, FontOsClassFromVersion(5, 1));
  EXPECT_EQ(FontOsClass::kOther, FontOsClassFromVersion(5, 2));
  EXPECT_EQ(FontOsClass::kWin7, FontOsClassFromVersion(6, 1));
  EXPECT_EQ(FontOsClass::kOther, FontOsClassFromVersion(6, 3));
  EXPECT_EQ(FontOsClass::kWin10, FontOsClassFromVersion(6, 4));
  EXPECT_EQ(FontOsClass::kWin10, FontOsClassFromVersion(10, 0));
}

TEST(FontRulesTest, ParsingTakesLastConditionAndIgnoresUnknownNames) {
  const FontRule rule = ParseFontRule(
      L";os:win7;;colour:red;os_prime_langid:19;os_prime_langid:0X11;os_sub_langid:zz;"
      L"ui_language:zh-TW;font:Face: with colon");
  EXPECT_TRUE(rule.hasOs);
  EXPECT_EQ(L"win7", rule.os);
  EXPECT_EQ(0x11u, rule.primeLangId);
  EXPECT_EQ(0u, rule.subLangId);
  EXPECT_TRUE(rule.hasUiLanguage);
  EXPECT_EQ(L"zh-TW", rule.uiLanguage);
  EXPECT_EQ(L"Face: with colon", rule.face);
}

TEST(FontRulesTest, ApplicabilityOfOsAndLanguageIds) {
  const FontSystemFacts win7Japanese{FontOsClass::kWin7, 0x0411};
  EXPECT_TRUE(FontRuleApplies(ParseFontRule(L"font:A"), win7Japanese));
  EXPECT_TRUE(FontRuleApplies(ParseFontRule(L"os:;font:A"), win7Japanese));
  EXPECT_TRUE(FontRuleApplies(ParseFontRule(L"os:win7"), win7Japanese));
  EXPECT_FALSE(FontRuleApplies(ParseFontRule(L"os:win10"), win7Japanese));
  EXPECT_FALSE(FontRuleApplies(ParseFontRule(L"os:Win7"), win7Japanese));
  EXPECT_FALSE(FontRuleApplies(ParseFontRule(L"os:vista"), win7Japanese));
  EXPECT_TRUE(FontRuleApplies(ParseFontRule(L"os_prime_langid:0x11"), win7Japanese));
  EXPECT_TRUE(FontRuleApplies(ParseFontRule(L"os_prime_langid:11;os_sub_langid:1"), win7Japanese));
  EXPECT_FALSE(FontRuleApplies(ParseFontRule(L"os_sub_langid:2"), win7Japanese));
  EXPECT_FALSE(FontRuleApplies(ParseFontRule(L"os_prime_langid:0x04"), win7Japanese));
  // zh-TW is 0x0404: primary 0x04, sub 0x01.
  EXPECT_FALSE(FontRuleApplies(ParseFontRule(L"os_prime_langid:4;os_sub_langid:2"),
                               FontSystemFacts{FontOsClass::kWin7, 0x0404}));
}

TEST(FontRulesTest, EnglishSevenGetsTheFirstRuleAndPerLanguageFaces) {
  const FontFaceTable faces = Faces(FontOsClass::kWin7, 0x0409);
  EXPECT_EQ(14u, faces.size());
  EXPECT_EQ("Microsoft JhengHei", faces.at(L"en"));
  EXPECT_EQ("Meiryo", faces.at(L"ja"));
  EXPECT_EQ("Microsoft YaHei", faces.at(L"zh-CN"));
  EXPECT_EQ("Microsoft JhengHei", faces.at(L"zh-TW"));
  EXPECT_EQ(0u, faces.count(L"ar"));
}

TEST(FontRulesTest, WindowsTenJapaneseGetsYuGothic) {
  const FontFaceTable faces = Faces(FontOsClass::kWin10, 0x0411);
  EXPECT_EQ("Yu Gothic UI", faces.at(L"ja"));
  EXPECT_EQ("Microsoft JhengHei", faces.at(L"de"));
}

TEST(FontRulesTest, SimplifiedChineseSystemGivesYaHeiExceptTraditional) {
  const FontFaceTable faces = Faces(FontOsClass::kWin7, 0x0804);
  EXPECT_EQ("Microsoft YaHei", faces.at(L"en"));
  EXPECT_EQ("Microsoft YaHei", faces.at(L"ru"));
  EXPECT_EQ("Microsoft JhengHei", faces.at(L"zh-TW"));
  EXPECT_EQ("Meiryo", faces.at(L"ja"));
}

TEST(FontRulesTest, WindowsXpGivesTahomaAndPerSystemLanguageFaces) {
  FontFaceTable faces = Faces(FontOsClass::kWinXp, 0x0401);  // Arabic system
  for (const auto& entry : faces) EXPECT_EQ("Tahoma", entry.second) << WideToUtf8(entry.first);
  faces = Faces(FontOsClass::kWinXp, 0x0411);
  EXPECT_EQ("MS UI Gothic", faces.at(L"ja"));
  EXPECT_EQ("Tahoma", faces.at(L"en"));
  faces = Faces(FontOsClass::kWinXp, 0x0439);
  EXPECT_EQ("Trebuchet MS", faces.at(L"hi"));
}

TEST(FontRulesTest, KeysOrderRulesAndCodesMatchExactly) {
  // selector10 sorts after selector02, whatever the file order.
  const FontFaceTable faces =
      Faces(FontOsClass::kWin7, 0x0409,
            L"[default]\r\nlanguages=pt;en\r\n[font]\r\nselector10=font:Late\r\n"
            L"selector02=font:Early\r\nselector11=ui_language:EN;font:Shout\r\n"
            L"selector12=ui_language:;font:Nobody\r\nselector13=ui_language:pt\r\n");
  EXPECT_EQ((FontFaceTable{{L"en", "Late"}, {L"pt", ""}}), faces);
}

TEST(FontRulesTest, NoLanguageListIsAFailure) {
  FontFaceTable faces;
  EXPECT_FALSE(ChooseFontFaces(Table(L"[default]\r\nlanguages=;\r\n[font]\r\na=font:X\r\n"),
                               FontSystemFacts{}, &faces));
  EXPECT_FALSE(ChooseFontFaces(Table(L"[font]\r\na=font:X\r\n"), FontSystemFacts{}, &faces));
}

TEST(FontRulesTest, BlockIsOrderedByCodeInUtf8) {
  const FontFaceTable faces{{L"zh-CN", "\xE5\xBE\xAE\xE8\xBD\xAF"}, {L"en", "Segoe UI"}};
  EXPECT_EQ("<en face=\"Segoe UI\"/><zh-CN face=\"\xE5\xBE\xAE\xE8\xBD\xAF\"/>",
            BuildFontBlock(faces));
  EXPECT_EQ("", BuildFontBlock(FontFaceTable{}));
}

TEST(FontRulesTest, ThemeRewriteReplacesOnlyTheBlockAndIsIdempotent) {
  // A byte-order mark, mixed line ends, a NUL and a second opening marker
  // after the block: all of it must come back untouched.
  const char kTheme[] =
      "\xEF\xBB\xBF<theme>\r\n  <fonts>\n    <language_font_face><en face=\"Old\"/>\n"
      "<ja face=\"Old\"/></language_font_face>\n  </fonts>\r\n"
      "<x>\0<language_font_face></x>\n";
  const std::string source(kTheme, sizeof(kTheme) - 1);
  std::string once;
  ASSERT_TRUE(ReplaceFontBlock(source, "<en face=\"New\"/>", &once));
  EXPECT_EQ(
      "\xEF\xBB\xBF<theme>\r\n  <fonts>\n    <language_font_face><en face=\"New\"/>"
      "</language_font_face>\n  </fonts>\r\n<x>",
      once.substr(0, once.find('\0')));
  EXPECT_EQ(source.substr(source.find("</language_font_face>") + 21),
            once.substr(once.find("</language_font_face>") + 21));
  std::string twice;
  ASSERT_TRUE(ReplaceFontBlock(once, "<en face=\"New\"/>", &twice));
  EXPECT_EQ(once, twice);
}

TEST(FontRulesTest, ThemeWithoutBothMarkersInOrderIsNotRewritten) {
  std::string out = "unchanged";
  EXPECT_FALSE(ReplaceFontBlock("<fonts><language_font_face></fonts>", "x", &out));
  EXPECT_FALSE(ReplaceFontBlock("<fonts></language_font_face></fonts>", "x", &out));
  EXPECT_FALSE(ReplaceFontBlock("</language_font_face><language_font_face>", "x", &out));
  EXPECT_EQ("unchanged", out);
  ASSERT_TRUE(ReplaceFontBlock("<language_font_face></language_font_face>", "x", &out));
  EXPECT_EQ("<language_font_face>x</language_font_face>", out);
}

}  // namespace
}  // namespace lum
