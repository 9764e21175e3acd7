#include "payload/item_path.h"

#include <gtest/gtest.h>

namespace lum {
namespace {

std::wstring Sanitized(const std::wstring& path) {
  std::wstring out = L"stale";
  EXPECT_TRUE(SanitizeItemPath(path, out)) << std::string(path.begin(), path.end());
  return out;
}

bool Refused(const std::wstring& path) {
  std::wstring out = L"stale";
  const bool ok = SanitizeItemPath(path, out);
  EXPECT_TRUE(ok || out.empty()) << "a refused path must leave no output";
  return !ok;
}

TEST(ItemPathTest, NestedPathsStayAndSlashesBecomeBackslashes) {
  EXPECT_EQ(L"readme.txt", Sanitized(L"readme.txt"));
  EXPECT_EQ(L"bin\\x86\\core.dll", Sanitized(L"bin/x86\\core.dll"));
  EXPECT_EQ(L"[Content]", Sanitized(L"[Content]"));
  EXPECT_EQ(L"a b\\c.d.e", Sanitized(L"a b\\c.d.e"));
  EXPECT_EQ(L"\x4E2D\x6587\\\x00E9.txt", Sanitized(L"\x4E2D\x6587/\x00E9.txt"));
}

TEST(ItemPathTest, EmptyAndDotComponentsAreDropped) {
  EXPECT_EQ(L"a\\b", Sanitized(L"a//b/"));
  EXPECT_EQ(L"a\\b", Sanitized(L"./a/./b"));
  EXPECT_EQ(L"dir", Sanitized(L"dir\\"));
  EXPECT_EQ(L"..x\\y..", Sanitized(L"..x\\y.."));  // dots inside a name are a name
}

TEST(ItemPathTest, ClimbingPathsAreRefused) {
  EXPECT_TRUE(Refused(L".."));
  EXPECT_TRUE(Refused(L"..\\x"));
  EXPECT_TRUE(Refused(L"../x"));
  EXPECT_TRUE(Refused(L"a\\..\\..\\x"));
  EXPECT_TRUE(Refused(L"a/../b"));  // stays inside, but no ".." is ever trusted
  EXPECT_TRUE(Refused(L"a\\...\\x"));
  EXPECT_TRUE(Refused(L"a\\.. \\x"));  // Windows trims trailing dots and spaces
  EXPECT_TRUE(Refused(L"a\\. .\\x"));
}

TEST(ItemPathTest, RootedDriveUncAndDevicePathsAreRefused) {
  EXPECT_TRUE(Refused(L"\\x"));
  EXPECT_TRUE(Refused(L"/x"));
  EXPECT_TRUE(Refused(L"\\\\server\\share\\x"));
  EXPECT_TRUE(Refused(L"//server/share/x"));
  EXPECT_TRUE(Refused(L"\\\\?\\C:\\x"));
  EXPECT_TRUE(Refused(L"\\\\.\\PhysicalDrive0"));
  EXPECT_TRUE(Refused(L"C:\\x"));
  EXPECT_TRUE(Refused(L"C:x"));
  EXPECT_TRUE(Refused(L"c:"));
  EXPECT_TRUE(Refused(L"a\\file.txt:stream"));
}

TEST(ItemPathTest, ReservedDeviceNamesAreRefusedInAnyComponent) {
  EXPECT_TRUE(Refused(L"CON"));
  EXPECT_TRUE(Refused(L"nul.txt"));
  EXPECT_TRUE(Refused(L"a\\Com1\\b"));
  EXPECT_TRUE(Refused(L"lpt9.log"));
  EXPECT_TRUE(Refused(L"aux .txt"));
  EXPECT_TRUE(Refused(L"conout$"));
  EXPECT_EQ(L"console\\com10\\lpt0\\nul_", Sanitized(L"console/com10/lpt0/nul_"));
}

TEST(ItemPathTest, NamesWindowsCannotHoldAreRefused) {
  EXPECT_TRUE(Refused(L""));
  EXPECT_TRUE(Refused(L"."));
  EXPECT_TRUE(Refused(L"./"));
  EXPECT_TRUE(Refused(L"a*b"));
  EXPECT_TRUE(Refused(L"a?b"));
  EXPECT_TRUE(Refused(L"a|b"));
  EXPECT_TRUE(Refused(L"a<b>"));
  EXPECT_TRUE(Refused(L"a\"b"));
  EXPECT_TRUE(Refused(std::wstring(L"a\0b", 3)));
  EXPECT_TRUE(Refused(L"a\x1F"));
}

TEST(ItemPathTest, AttributesKeepOnlyWhatSetFileAttributesTakes) {
  EXPECT_EQ(0x20u, MaskItemAttributes(0x20));         // archive
  EXPECT_EQ(0x07u, MaskItemAttributes(0x07));         // read-only, hidden, system
  EXPECT_EQ(0x00u, MaskItemAttributes(0x10));         // folder bit is not ours
  EXPECT_EQ(0x00u, MaskItemAttributes(0x81A48000u));  // Unix mode 0100644 + flag
  EXPECT_EQ(0x01u, MaskItemAttributes(0x81248001u));  // Unix 0100444, read-only
  EXPECT_EQ(0x31A7u, MaskItemAttributes(0xFFFFFFFFu));
  EXPECT_EQ(0x0u, MaskItemAttributes(0x400 | 0x800 | 0x4000));  // reparse, compressed, encrypted
}

}  // namespace
}  // namespace lum
