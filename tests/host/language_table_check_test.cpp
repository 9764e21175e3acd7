#include "i18n/language_table_check.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>

#include "base/text.h"
#include "fake_session_environment.h"

namespace lum {
namespace {

using testing_support::ParseTable;

std::wstring ShippedTableText() {
  std::ifstream in(std::string(LUM_SOURCE_DIR) + "/resources/language.ini", std::ios::binary);
  return Utf8ToWide(std::string(std::istreambuf_iterator<char>(in), {}));
}

// The shipped table with the line "key=..." of `section` replaced by
// `newLine` (removed when empty).
std::wstring Edited(const std::wstring& section, const std::wstring& key,
                    const std::wstring& newLine) {
  std::wstring out;
  std::wstring current;
  bool done = false;
  for (const std::wstring& line : Split(ShippedTableText(), L'\n', false)) {
    if (!line.empty() && line[0] == L'[') current = line.substr(1, line.find(L']') - 1);
    if (!done && current == section && line.compare(0, key.size() + 1, key + L"=") == 0) {
      done = true;
      if (!newLine.empty()) out += newLine + L"\n";
      continue;
    }
    out += line + L"\n";
  }
  EXPECT_TRUE(done) << "no line " << WideToUtf8(key) << " in [" << WideToUtf8(section) << "]";
  return out;
}

std::vector<std::wstring> Describe(const std::vector<LanguageTableProblem>& problems) {
  std::vector<std::wstring> out;
  for (const LanguageTableProblem& p : problems) out.push_back(p.section + L"|" + p.key);
  return out;
}

TEST(LanguageTableCheck, ShippedTableIsSound) {
  const IniTable table = ParseTable(ShippedTableText());
  ASSERT_TRUE(table.HasSection(L"en"));
  for (const LanguageTableProblem& p : CheckLanguageTable(table)) {
    ADD_FAILURE() << WideToUtf8(p.section + L" " + p.key + L": " + p.message);
  }
}

TEST(LanguageTableCheck, RequiredKeysFollowPerLanguageDifferences) {
  EXPECT_EQ(RequiredLanguageKeys(L"en").size(), 84u);
  EXPECT_EQ(RequiredLanguageKeys(L"ar").size(), 84u);
  EXPECT_EQ(RequiredLanguageKeys(L"pt").size(), 86u);
  auto has = [](const std::wstring& section, const wchar_t* key) {
    const std::vector<std::wstring> keys = RequiredLanguageKeys(section);
    return std::find(keys.begin(), keys.end(), key) != keys.end();
  };
  EXPECT_TRUE(has(L"zh-CN", L"check_quickscan_desc"));
  EXPECT_FALSE(has(L"zh-TW", L"check_quickscan_desc"));
  EXPECT_TRUE(has(L"es", L"ERROR_CNAFESDEXIST"));
  EXPECT_FALSE(has(L"vi", L"UAC_TITLE_ESSENTIAL"));
  EXPECT_TRUE(has(L"vi", L"UAC_TITLE"));
  EXPECT_FALSE(has(L"hi", L"ERROR_PC_CLEANER"));
  EXPECT_EQ(ExpectedLangCode(L"ar"), 5121);
  EXPECT_EQ(ExpectedLangCode(L"default"), 0);
}

TEST(LanguageTableCheck, MissingKeysAreReported) {
  EXPECT_EQ(Describe(CheckLanguageTable(ParseTable(Edited(L"ja", L"IDCANCEL", L""))))[0],
            L"ja|IDCANCEL");
  // A key only some sections carry is still required where it belongs.
  EXPECT_EQ(Describe(CheckLanguageTable(ParseTable(Edited(L"pt", L"ERROR_CNAFESDEXIST", L"")))),
            std::vector<std::wstring>{L"pt|ERROR_CNAFESDEXIST"});
  // Dropping an English key is caught even though nothing compares against it.
  EXPECT_EQ(Describe(CheckLanguageTable(ParseTable(Edited(L"en", L"NEED_REBOOT", L"")))),
            std::vector<std::wstring>{L"en|NEED_REBOOT"});
  // A whole section gone, and one listed in [default] without a section.
  const std::wstring noPolish = Edited(
      L"default", L"languages", L"languages=en;zh-TW;ru;tr;es;pt;vi;zh-CN;hi;ja;de;fr;it;pl;ko;");
  EXPECT_EQ(Describe(CheckLanguageTable(ParseTable(noPolish))),
            std::vector<std::wstring>{L"default|languages"});
}

TEST(LanguageTableCheck, WrongLangCodeIsReported) {
  const auto problems =
      CheckLanguageTable(ParseTable(Edited(L"de", L"lang_code", L"lang_code=1033")));
  EXPECT_EQ(Describe(problems), std::vector<std::wstring>{L"de|lang_code"});
}

TEST(LanguageTableCheck, PlaceholdersMustMatchEnglish) {
  // One placeholder dropped, two swapped in kind, and a stray '%'.
  const std::wstring dropped = L"disk_text={&#color=0x707070}Espace disque : %.01fGB";
  const std::wstring swapped = L"disk_text={&#color=0x707070}Speicher: %.01fGB / %dGB";
  EXPECT_EQ(Describe(CheckLanguageTable(ParseTable(Edited(L"fr", L"disk_text", dropped)))),
            std::vector<std::wstring>{L"fr|disk_text"});
  EXPECT_EQ(Describe(CheckLanguageTable(ParseTable(Edited(L"de", L"disk_text", swapped)))),
            std::vector<std::wstring>{L"de|disk_text"});
  EXPECT_EQ(Describe(CheckLanguageTable(ParseTable(Edited(L"it", L"IDOK", L"IDOK=OK %")))),
            std::vector<std::wstring>{L"it|IDOK"});
}

TEST(PrintfPlaceholders, ConversionsInOrder) {
  using V = std::vector<std::wstring>;
  EXPECT_EQ(PrintfPlaceholders(L"%.01fGB / %.01fGB"), (V{L"%.01f", L"%.01f"}));
  EXPECT_EQ(PrintfPlaceholders(L"{&#a=button:%d}x %s %I64d %-5ls"),
            (V{L"%d", L"%s", L"%I64d", L"%-5ls"}));
  EXPECT_EQ(PrintfPlaceholders(L"100%% done"), V{});
  EXPECT_EQ(PrintfPlaceholders(L"50%"), V{L"%"});
  EXPECT_EQ(PrintfPlaceholders(L"%y"), V{L"%"});
}

TEST(ScanMarkup, CountsTagsAndRefusesBrokenOnes) {
  MarkupCounts counts;
  std::wstring problem;
  // Unclosed tags are legal (they run to the end); kinds need not nest.
  ASSERT_TRUE(ScanMarkup(L"{&#font=5}{&#color=0x707070}Go{&#/color}", &counts, &problem));
  EXPECT_EQ(counts.opened[L"font"], 1);
  EXPECT_EQ(counts.closed[L"font"], 0);
  EXPECT_EQ(counts.closed[L"color"], 1);
  ASSERT_TRUE(
      ScanMarkup(L"{&#A=button:0x1F}{&#ACOLOR=#ff}Go{&#/A}{&#/acolor} a{b", &counts, &problem));
  EXPECT_EQ(counts.opened[L"a"], 1);
  EXPECT_EQ(counts.opened[L"acolor"], 1);

  EXPECT_FALSE(ScanMarkup(L"{&#/color}x", &counts, &problem));
  EXPECT_NE(problem.find(L"no open color"), std::wstring::npos);
  EXPECT_FALSE(ScanMarkup(L"{&#a=x}y{&#/a}{&#/a}", &counts, &problem));
  EXPECT_FALSE(ScanMarkup(L"{&#bold}x", &counts, &problem));
  EXPECT_FALSE(ScanMarkup(L"x {&#color=255", &counts, &problem));
}

TEST(LanguageTableCheck, MarkupMustMatchEnglish) {
  // The link colour is never closed: legal markup, but not what English does.
  const std::wstring unclosed =
      L"check=Ich akzeptiere die {&#a=button:%d}{&#acolor=0xff8541}Lizenzvereinbarung{&#/a}";
  EXPECT_EQ(Describe(CheckLanguageTable(ParseTable(Edited(L"de", L"check", unclosed)))),
            std::vector<std::wstring>{L"de|check"});
  const std::wstring stray = L"IDOK=OK{&#/font}";
  EXPECT_EQ(Describe(CheckLanguageTable(ParseTable(Edited(L"pl", L"IDOK", stray)))),
            std::vector<std::wstring>{L"pl|IDOK"});
}

}  // namespace
}  // namespace lum
