#include "i18n/language_choice.h"

#include <gtest/gtest.h>

#include "fake_session_environment.h"

namespace lum {
namespace {

using testing_support::BaseLanguageTable;
using testing_support::ParseTable;

SystemLanguageFacts UiLanguage(uint16_t id) {
  SystemLanguageFacts facts;
  facts.uiLanguage = id;
  return facts;
}

TEST(NormaliseLanguage, PrimaryLanguageMap) {
  struct Row {
    uint16_t id;
    const wchar_t* code;
  } rows[] = {
      {0x0804, L"zh-CN"}, {0x1004, L"zh-TW"}, {0x0404, L"zh-TW"}, {0x0C04, L"zh-TW"},
      {0x1404, L"zh-TW"},  // only sub-language 2 is simplified
      {0x0407, L"de"},    {0x0C0A, L"es"},    {0x080C, L"fr"},
      {0x0410, L"it"},    {0x0411, L"ja"},    {0x0415, L"pl"},    {0x0816, L"pt"},
      {0x0416, L"pt"},    {0x0419, L"ru"},    {0x0444, L"ru"},    {0x046D, L"ru"},
      {0x0485, L"ru"},    {0x041F, L"tr"},    {0x042A, L"vi"},    {0x0439, L"hi"},
      {0x041E, L"en"},    {0x0412, L"en"},    {0x0809, L"en"},    {0x0401, L"en"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(NormaliseLanguage(L"", UiLanguage(row.id)), row.code) << std::hex << row.id;
  }
}

TEST(NormaliseLanguage, VietnameseRuleAppliesToEnglishOnly) {
  SystemLanguageFacts nation = UiLanguage(0x0409);
  nation.geoNation = 251;
  SystemLanguageFacts codePage = UiLanguage(0x0409);
  codePage.ansiCodePage = 1258;
  SystemLanguageFacts keyboard = UiLanguage(0x0409);
  keyboard.keyboardLanguages = {0x0409, 0x042A};
  for (const SystemLanguageFacts& facts : {nation, codePage, keyboard}) {
    EXPECT_EQ(NormaliseLanguage(L"en", facts), L"vi");
    EXPECT_EQ(NormaliseLanguage(L"EN", facts), L"vi");
    // An English UI maps to "en" through the table's lang_code, not here.
    EXPECT_EQ(NormaliseLanguage(L"", facts), L"en");
    EXPECT_EQ(NormaliseLanguage(L"de", facts), L"de");
  }
  SystemLanguageFacts german = UiLanguage(0x0407);
  german.geoNation = 251;
  EXPECT_EQ(NormaliseLanguage(L"", german), L"de");

  SystemLanguageFacts plain = UiLanguage(0x0409);
  plain.keyboardLanguages = {0x0409, 0x082A};  // another sub-language id is not the one
  EXPECT_EQ(NormaliseLanguage(L"en", plain), L"en");
}

TEST(ChooseLanguageFromSystem, LangCodeMatchesSectionDirectly) {
  const IniTable table = ParseTable(BaseLanguageTable());
  const LanguageChoice brazil = ChooseLanguageFromSystem(table, UiLanguage(0x0416));
  EXPECT_EQ(brazil.requested, L"pt");
  EXPECT_EQ(brazil.offered.size(), 14u);
  EXPECT_FALSE(brazil.forced);
  EXPECT_FALSE(brazil.unknown);
  EXPECT_EQ(ChooseLanguageFromSystem(table, UiLanguage(0x0816)).requested, L"pt");
  EXPECT_EQ(ChooseLanguageFromSystem(table, UiLanguage(0x0804)).requested, L"zh-CN");
  EXPECT_EQ(ChooseLanguageFromSystem(table, UiLanguage(0x041E)).requested, L"en");  // Thai
}

TEST(ChooseLanguageFromSystem, MappedEnglishStaysEnglishInVietnam) {
  // A Thai UI has no section and maps to "en"; the Vietnamese facts apply
  // only to an English UI that matched the "en" section.
  SystemLanguageFacts facts = UiLanguage(0x041E);
  facts.geoNation = 251;
  EXPECT_EQ(ChooseLanguageFromSystem(ParseTable(BaseLanguageTable()), facts).requested, L"en");
}

TEST(ChooseLanguageFromSystem, EnglishUiInVietnamGivesVietnamese) {
  SystemLanguageFacts facts = UiLanguage(0x0409);
  facts.geoNation = 251;
  EXPECT_EQ(ChooseLanguageFromSystem(ParseTable(BaseLanguageTable()), facts).requested, L"vi");
}

TEST(ChooseLanguageFromSystem, LastMatchingSectionWins) {
  std::wstring text = BaseLanguageTable();
  text.replace(text.find(L"lang_code=1049"), 14, L"lang_code=1033");  // ru claims 1033 too
  const LanguageChoice choice = ChooseLanguageFromSystem(ParseTable(text), UiLanguage(0x0409));
  EXPECT_EQ(choice.requested, L"ru");
}

TEST(ChooseLanguageFromSystem, ForcedLanguage) {
  std::wstring text = BaseLanguageTable();
  text.insert(10, L"force_lang=1\n");
  text.replace(text.find(L"appname=en"), 10, L"appname=de");
  const LanguageChoice choice = ChooseLanguageFromSystem(ParseTable(text), UiLanguage(0x0419));
  EXPECT_EQ(choice.requested, L"de");
  EXPECT_TRUE(choice.forced);
  EXPECT_EQ(choice.offered, std::vector<std::wstring>{L"de"});

  // Forced to a code outside the list: still requested, offered alone.
  text.replace(text.find(L"appname=de"), 10, L"appname=ar");
  const LanguageChoice ar = ChooseLanguageFromSystem(ParseTable(text), UiLanguage(0x0419));
  EXPECT_EQ(ar.requested, L"ar");
  EXPECT_EQ(ar.offered, std::vector<std::wstring>{L"ar"});

  // Forced to nothing: the system mapping fills the gap.
  text.replace(text.find(L"appname=ar"), 10, L"appname=");
  EXPECT_EQ(ChooseLanguageFromSystem(ParseTable(text), UiLanguage(0x0419)).requested, L"ru");
}

TEST(ChooseLanguageFromSystem, EmptyListOffersTheRequestedLanguage) {
  const IniTable table = ParseTable(L"[default]\nlanguages=\n[ja]\nlang_code=1041\n");
  const LanguageChoice choice = ChooseLanguageFromSystem(table, UiLanguage(0x0411));
  EXPECT_EQ(choice.requested, L"ja");
  EXPECT_EQ(choice.offered, std::vector<std::wstring>{L"ja"});
}

TEST(ChooseLanguageFromProduct, TableSpellingOfaKnownCode) {
  const IniTable table = ParseTable(BaseLanguageTable());
  const LanguageChoice choice = ChooseLanguageFromProduct(table, L"ZH-TW", UiLanguage(0x0409));
  EXPECT_EQ(choice.requested, L"zh-TW");
  EXPECT_EQ(choice.offered, std::vector<std::wstring>{L"zh-TW"});
  EXPECT_FALSE(choice.unknown);
}

TEST(ChooseLanguageFromProduct, UnusableCodeFallsBackToSystem) {
  const IniTable table = ParseTable(BaseLanguageTable());
  for (const wchar_t* code : {L"ko", L"", L"ar", L"en-US"}) {
    const LanguageChoice choice = ChooseLanguageFromProduct(table, code, UiLanguage(0x0407));
    EXPECT_TRUE(choice.unknown) << code;
    EXPECT_EQ(choice.requested, L"de") << code;
    EXPECT_EQ(choice.offered, std::vector<std::wstring>{L"de"}) << code;
  }
  // A known code that this table does not list.
  const IniTable noPolish = ParseTable(L"[default]\nlanguages=en;de;\n");
  const LanguageChoice choice = ChooseLanguageFromProduct(noPolish, L"pl", UiLanguage(0x0409));
  EXPECT_TRUE(choice.unknown);
  EXPECT_EQ(choice.requested, L"en");
}

TEST(LanguageBit, NumbersInOfferServerOrder) {
  const wchar_t* codes[] = {L"zh-tw", L"en", L"ru", L"tr", L"es", L"pt", L"vi",
                            L"zh-cn", L"hi", L"ja", L"de", L"fr", L"it", L"pl"};
  for (int i = 0; i < 14; ++i) EXPECT_EQ(LanguageBit(codes[i]), i + 1) << codes[i];
  EXPECT_EQ(LanguageBit(L"ZH-CN"), 8);
  EXPECT_EQ(LanguageBit(L"ko"), 2);
  EXPECT_EQ(LanguageBit(L""), 2);
}

TEST(LanguageBit, MaskMembershipCountsFromBitOne) {
  EXPECT_TRUE(LanguageInMask(L"zh-TW", 0x1));
  EXPECT_FALSE(LanguageInMask(L"en", 0x1));
  EXPECT_TRUE(LanguageInMask(L"en", 0x2));
  EXPECT_FALSE(LanguageInMask(L"en", 0x4));  // that is "ru"
  EXPECT_TRUE(LanguageInMask(L"pl", uint64_t{1} << 13));
  EXPECT_TRUE(LanguageInMask(L"ko", 0x2));  // unknown codes count as English
}

}  // namespace
}  // namespace lum
