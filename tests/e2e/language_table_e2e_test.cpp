// An installer whose language table has no usable section must stop with 101
// before it touches anything. The table is replaced in a copy of the built
// installer with UpdateResource, the way a damaged or badly localised build
// would carry it.
#include <windows.h>

#include <gtest/gtest.h>

#include "tests/e2e/e2e_support.h"

#include <string>
#include <vector>

namespace {

using lum::e2e::InstallerPath;
using lum::e2e::ReadText;
using lum::e2e::RunProgram;

std::vector<BYTE> Utf16Table(const std::wstring& text) {
  std::vector<BYTE> bytes = {0xFF, 0xFE};
  for (wchar_t c : text) {
    bytes.push_back(static_cast<BYTE>(c & 0xFF));
    bytes.push_back(static_cast<BYTE>(c >> 8));
  }
  return bytes;
}

// Copies the installer and replaces its FILE 502.
bool MakeInstallerWithTable(const std::wstring& copy, const std::vector<BYTE>* table) {
  // (Removing the resource is no test here: Wine ignores a delete through UpdateResource.)
  if (!CopyFileW(InstallerPath().c_str(), copy.c_str(), FALSE)) return false;
  HANDLE update = BeginUpdateResourceW(copy.c_str(), FALSE);
  if (!update) return false;
  BOOL ok = UpdateResourceW(update, L"FILE", MAKEINTRESOURCEW(502),
                            MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US),
                            table ? const_cast<BYTE*>(table->data()) : nullptr,
                            table ? static_cast<DWORD>(table->size()) : 0);
  return EndUpdateResourceW(update, !ok) && ok;
}

class LanguageTableE2E : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(InstallerPath().empty()) << "LUM_INSTALLER is not set";
    CreateDirectoryW(dir_.c_str(), nullptr);
  }
  std::wstring dir_ = L"C:\\lum_e2e_lang";
};

TEST_F(LanguageTableE2E, TableWithoutLanguageSectionsExits101) {
  // Defaults name the languages, but not one of them has a section.
  std::vector<BYTE> table = Utf16Table(
      L"[default]\r\nappname=en\r\nchannel=101\r\nlanguages=en;ru;\r\n[font]\r\nselector01=x\r\n");
  std::wstring copy = dir_ + L"\\NoSections.exe";
  ASSERT_TRUE(MakeInstallerWithTable(copy, &table));
  std::wstring log = dir_ + L"\\nosections.log";
  EXPECT_EQ(101, RunProgram(copy, L"/s /BNinstall /log:" + log));
  const std::wstring text = ReadText(log);
  EXPECT_NE(std::wstring::npos, text.find(L"language table unusable")) << lum::WideToUtf8(text);
}

TEST_F(LanguageTableE2E, EmptyTableExits101) {
  // Only the byte-order mark: nothing to read at all.
  std::vector<BYTE> table = {0xFF, 0xFE};
  std::wstring copy = dir_ + L"\\EmptyTable.exe";
  ASSERT_TRUE(MakeInstallerWithTable(copy, &table));
  EXPECT_EQ(101, RunProgram(copy, L"/s /BNinstall"));
}

TEST_F(LanguageTableE2E, ForcedLanguageWithoutSectionExits101) {
  // force_lang picks "appname"; a table that forces a language it lacks is unusable.
  std::vector<BYTE> table = Utf16Table(
      L"[default]\r\nappname=xx\r\nforce_lang=1\r\nlanguages=en;\r\n[en]\r\nname=English\r\n");
  std::wstring copy = dir_ + L"\\Forced.exe";
  ASSERT_TRUE(MakeInstallerWithTable(copy, &table));
  EXPECT_EQ(101, RunProgram(copy, L"/s /BNinstall"));
}

}  // namespace
