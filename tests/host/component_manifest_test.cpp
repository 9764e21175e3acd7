#include "install/component_manifest.h"

#include <gtest/gtest.h>

#include "base/text.h"

namespace lum {
namespace {

IniTable Table(const std::wstring& text) {
  IniTable table;
  const std::vector<uint8_t> bytes = WideToUtf16Le(text, true);
  EXPECT_TRUE(table.Parse(bytes.data(), bytes.size()));
  return table;
}

// Reads the merged text back the way the product does (a fresh table).
IniTable Reread(const std::wstring& text) { return Table(text); }

const wchar_t kManifest[] =
    L"[iniopt]\r\nver=2\r\n"
    L"[FeedBack.ini]\r\nver=1.0.0.1006\r\npath=%productpath%\\Config\\FeedBack.INI\r\nmd5=\r\n"
    L"[ZVSafeMain.exe]\r\nver=8.2.0.1133\r\npath=%ProductPath%\\ZVSafeMain.exe\r\nmd5=abc\r\n";

TEST(ComponentManifestTest, PathIsLowerCasedButInstallFolderKeepsItsCase) {
  const std::vector<ManifestEntry> entries =
      BuildManifestEntries(Table(kManifest), L"C:\\Program Files\\Lum\\Bastion");
  ASSERT_EQ(3u, entries.size());
  EXPECT_EQ(L"iniopt", entries[0].section);
  EXPECT_EQ(L"2", entries[0].ver);
  EXPECT_EQ(L"", entries[0].path);
  EXPECT_EQ(L"FeedBack.ini", entries[1].section);
  EXPECT_EQ(L"1.0.0.1006", entries[1].ver);
  EXPECT_EQ(L"C:\\Program Files\\Lum\\Bastion\\config\\feedback.ini", entries[1].path);
  // The placeholder matches in any case because the path is lowered first.
  EXPECT_EQ(L"C:\\Program Files\\Lum\\Bastion\\zvsafemain.exe", entries[2].path);
}

TEST(ComponentManifestTest, EveryPlaceholderIsReplacedAndMissingKeysGiveEmptyValues) {
  const std::vector<ManifestEntry> entries = BuildManifestEntries(
      Table(L"[a]\r\npath=%productpath%;%productpath%\\x\r\n[b]\r\n"), L"D:\\%productpath%");
  ASSERT_EQ(2u, entries.size());
  // Replacement text is not searched again.
  EXPECT_EQ(L"D:\\%productpath%;D:\\%productpath%\\x", entries[0].path);
  EXPECT_EQ(L"", entries[0].ver);
  EXPECT_EQ(L"", entries[1].path);
}

TEST(ComponentManifestTest, FreshTargetHoldsEverySectionInManifestOrderWithoutMd5) {
  const std::wstring text =
      MergeManifestIntoIni(L"", BuildManifestEntries(Table(kManifest), L"C:\\P"));
  EXPECT_EQ(
      L"[iniopt]\r\nver=2\r\npath=\r\n"
      L"[FeedBack.ini]\r\nver=1.0.0.1006\r\npath=C:\\P\\config\\feedback.ini\r\n"
      L"[ZVSafeMain.exe]\r\nver=8.2.0.1133\r\npath=C:\\P\\zvsafemain.exe\r\n",
      text);
}

TEST(ComponentManifestTest, MergeReplacesValuesAndKeepsEverythingElse) {
  const std::wstring existing =
      L"; kept by the updater\r\n"
      L"[iniopt]\r\nver=1\r\nlast=20260101\r\n"
      L"[feedback.INI]\r\n  VER = 9.9.9.9\r\nmd5=0123\r\n\r\n"
      L"[Other.dll]\r\nver=3.0.0.1\r\npath=C:\\old\\other.dll\r\n";
  const std::wstring merged =
      MergeManifestIntoIni(existing, BuildManifestEntries(Table(kManifest), L"C:\\P"));
  const IniTable result = Reread(merged);

  // A higher installed version is still replaced: there is no comparison.
  EXPECT_EQ(L"1.0.0.1006", result.Value(L"feedback.INI", L"ver"));
  EXPECT_FALSE(result.Contains(L"feedback.INI", L"  VER "));
  EXPECT_EQ(L"C:\\P\\config\\feedback.ini", result.Value(L"feedback.INI", L"path"));
  EXPECT_EQ(L"0123", result.Value(L"feedback.INI", L"md5"));
  EXPECT_FALSE(result.HasSection(L"FeedBack.ini"));  // the existing section was reused

  EXPECT_EQ(L"2", result.Value(L"iniopt", L"ver"));
  EXPECT_TRUE(result.Contains(L"iniopt", L"path"));
  EXPECT_EQ(L"20260101", result.Value(L"iniopt", L"last"));
  EXPECT_EQ(L"C:\\old\\other.dll", result.Value(L"Other.dll", L"path"));
  EXPECT_EQ(L"8.2.0.1133", result.Value(L"ZVSafeMain.exe", L"ver"));

  // Untouched lines survive verbatim, new keys go before the blank line.
  EXPECT_EQ(0u, merged.find(L"; kept by the updater\r\n[iniopt]\r\nver=2\r\nlast=20260101\r\n"
                            L"path=\r\n[feedback.INI]\r\nver=1.0.0.1006\r\nmd5=0123\r\n"
                            L"path=C:\\P\\config\\feedback.ini\r\n\r\n[Other.dll]\r\n"));
}

TEST(ComponentManifestTest, MergingTwiceGivesTheSameText) {
  const std::vector<ManifestEntry> entries = BuildManifestEntries(Table(kManifest), L"C:\\P");
  const std::wstring once = MergeManifestIntoIni(L"[x]\ny=1", entries);
  EXPECT_EQ(once, MergeManifestIntoIni(once, entries));
  EXPECT_EQ(0u, once.find(L"[x]\r\ny=1\r\n[iniopt]"));
}

TEST(ComponentManifestTest, DecodesOnlyTextWithAByteOrderMark) {
  std::wstring text;
  EXPECT_TRUE(DecodeBomText(WideToUtf16Le(L"[a]\r\nb=\u00e9", true), &text));
  EXPECT_EQ(L"[a]\r\nb=\u00e9", text);
  EXPECT_TRUE(DecodeBomText({0xEF, 0xBB, 0xBF, 'a', 0xC3, 0xA9}, &text));
  EXPECT_EQ(L"a\u00e9", text);
  EXPECT_FALSE(DecodeBomText({'[', 'a', ']'}, &text));
  EXPECT_FALSE(DecodeBomText({0xFF}, &text));
}

}  // namespace
}  // namespace lum
