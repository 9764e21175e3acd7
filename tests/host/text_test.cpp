#include "base/text.h"

#include <gtest/gtest.h>

namespace lum {
namespace {

TEST(TextTest, Utf8RoundTripAcrossAllSequenceLengths) {
  const std::string utf8 = "A\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80z";  // 1, 2, 3, 4 bytes
  const std::wstring wide = Utf8ToWide(utf8);
  EXPECT_EQ(utf8, WideToUtf8(wide));
  EXPECT_EQ(L'\x00E9', wide[1]);
  EXPECT_EQ(L'\x4E2D', wide[2]);
  // UTF-16LE of U+1F600 is the pair D83D DE00 on every platform.
  const std::vector<uint8_t> bytes = WideToUtf16Le(wide, false);
  const std::vector<uint8_t> expected = {'A',  0,    0xE9, 0,    0x2D, 0x4E,
                                         0x3D, 0xD8, 0x00, 0xDE, 'z',  0};
  EXPECT_EQ(expected, bytes);
  EXPECT_EQ(wide, Utf16LeToWide(bytes.data(), bytes.size()));
}

TEST(TextTest, MalformedUtf8BecomesReplacementCharacters) {
  EXPECT_EQ(
      L"a\xFFFD"
      L"b",
      Utf8ToWide("a\xFF"
                 "b"));
  EXPECT_EQ(L"\xFFFD(", Utf8ToWide("\xC3("));        // missing continuation
  EXPECT_EQ(L"\xFFFD", Utf8ToWide("\xC0\xAF"));      // overlong '/'
  EXPECT_EQ(L"\xFFFD", Utf8ToWide("\xED\xA0\x80"));  // encoded surrogate
  EXPECT_EQ(L"x\xFFFD", Utf8ToWide("x\xE4\xB8"));    // cut at the end
}

TEST(TextTest, Utf16LeEdges) {
  const uint8_t odd[] = {'h', 0, 'i', 0, '!'};
  EXPECT_EQ(L"hi", Utf16LeToWide(odd, sizeof(odd)));
  EXPECT_EQ(L"", Utf16LeToWide(nullptr, 4));
  const uint8_t lone[] = {0x3D, 0xD8, 'a', 0};  // high surrogate without its pair
  EXPECT_EQ(
      "\xEF\xBF\xBD"
      "a",
      WideToUtf8(Utf16LeToWide(lone, sizeof(lone))));
  EXPECT_EQ((std::vector<uint8_t>{0xFF, 0xFE, 'k', 0}), WideToUtf16Le(L"k", true));
}

TEST(TextTest, AsciiCaseHelpersLeaveOtherLettersAlone) {
  EXPECT_EQ(L"/bninstall \x00C9", ToLowerAscii(L"/BNinstall \x00C9"));
  EXPECT_TRUE(EqualsNoCase(L"zh-TW", L"ZH-tw"));
  EXPECT_FALSE(EqualsNoCase(L"\x00E9", L"\x00C9"));
  EXPECT_FALSE(EqualsNoCase(L"ab", L"abc"));
  EXPECT_TRUE(StartsWithNoCase(L"/Promo:xyz", L"/promo"));
  EXPECT_FALSE(StartsWithNoCase(L"/pro", L"/promo"));
  EXPECT_TRUE(ContainsNoCase(L"C:\\Program Files\\Lum", L"program files"));
  EXPECT_FALSE(ContainsNoCase(L"abc", L"abd"));
}

TEST(TextTest, TrimAndSplit) {
  EXPECT_EQ(L"a b", TrimBlanks(L" \t\r\na b\r\n "));
  EXPECT_EQ(L"", TrimBlanks(L" \t "));
  EXPECT_EQ((std::vector<std::wstring>{L"en", L"", L"ru", L""}), Split(L"en;;ru;", L';', false));
  EXPECT_EQ((std::vector<std::wstring>{L"en", L"ru"}), Split(L"en;;ru;", L';', true));
  EXPECT_TRUE(Split(L"", L';', true).empty());
}

}  // namespace
}  // namespace lum
