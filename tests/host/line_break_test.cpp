#include "i18n/line_break.h"

#include <gtest/gtest.h>

#include "session/session_settings.h"

namespace lum {
namespace {

// Ten pixels per character, like a fixed-pitch font.
int TenPerChar(const std::wstring& line) { return static_cast<int>(line.size()) * 10; }

TEST(BreakLines, FillsLinesWhileNarrowerThanWidth) {
  // "aaa bbb" is 70 px: it fits in 80 but not in 70 (narrower, not equal).
  EXPECT_EQ(BreakLinesFor(L"en", L"aaa bbb ccc", 80, TenPerChar), L"aaa bbb\nccc");
  EXPECT_EQ(BreakLinesFor(L"en", L"aaa bbb ccc", 70, TenPerChar), L"aaa\nbbb\nccc");
  EXPECT_EQ(BreakLinesFor(L"de", L"aaa bbb ccc", 200, TenPerChar), L"aaa bbb ccc");
}

TEST(BreakLines, WideWordStandsAlone) {
  EXPECT_EQ(BreakLinesFor(L"en", L"a verylongword b", 60, TenPerChar), L"a\nverylongword\nb");
  EXPECT_EQ(BreakLinesFor(L"en", L"verylongword", 60, TenPerChar), L"verylongword");
}

TEST(BreakLines, RunsOfBlanksCollapseAndEmptyStaysEmpty) {
  EXPECT_EQ(BreakLinesFor(L"en", L"  aa   bb  ", 100, TenPerChar), L"aa bb");
  EXPECT_EQ(BreakLinesFor(L"en", L"", 100, TenPerChar), L"");
}

TEST(BreakLines, ChineseAndJapaneseAreLeftAlone) {
  int calls = 0;
  const MeasureLine counting = [&](const std::wstring& line) {
    ++calls;
    return TenPerChar(line);
  };
  for (const wchar_t* code : {L"zh-CN", L"zh-TW", L"ja"}) {
    EXPECT_EQ(BreakLinesFor(code, L"aaa bbb ccc", 10, counting), L"aaa bbb ccc");
  }
  EXPECT_EQ(calls, 0);
  // The codes are the table's spellings; another spelling is broken normally.
  EXPECT_EQ(BreakLinesFor(L"zh-cn", L"aaa bbb", 40, TenPerChar), L"aaa\nbbb");
}

TEST(LanguageCode, EnglishUntilChosen) {
  const std::wstring saved = languageCode;
  languageCode.clear();
  EXPECT_EQ(LanguageCode(), L"en");
  languageCode = L"zh-TW";
  EXPECT_EQ(LanguageCode(), L"zh-TW");
  languageCode = saved;
}

}  // namespace
}  // namespace lum
