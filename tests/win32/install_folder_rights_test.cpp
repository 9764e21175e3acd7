// The install folder's rights when it is not under Program Files: only
// SYSTEM and the Administrators may write there (read back where the file
// system keeps rights; Wine keeps none), a folder under Program Files is left
// to its inheritance, a drive's root is never taken, and a planted link at
// the install folder is refused with its target untouched.
#include <gtest/gtest.h>
#include <windows.h>
// shlobj.h builds on windows.h.
#include <shlobj.h>

#include <string>

#include "base/install_log.h"
#include "base/text.h"
#include "system/file_ops_win.h"
#include "system/install_folder_rights_win.h"
#include "tests/wine/planted_link.h"
#include "tests/win32/folder_rights.h"

namespace lum {
namespace {

TEST(InstallFolderRights, OutsideProgramFilesOnlyAdministratorsMayWriteAndLinksAreRefused) {
  std::string lines;
  log::SetSink([&lines](const std::string& line) { lines += line + "\n"; });
  const std::wstring root = L"C:\\lum_rights_" + std::to_wstring(GetCurrentProcessId());
  const std::wstring folder = root + L"\\Tools\\Bastion";
  ASSERT_TRUE(SecureInstallFolder(folder));
  EXPECT_TRUE(FolderExists(folder));
  EXPECT_NE(std::string::npos,
            lines.find("install folder outside Program Files: writable for administrators only | " +
                       WideToUtf8(folder) + " | 0"))
      << lines;
  if (FolderRightsAreKept()) EXPECT_EQ("", FolderWritersOtherThanSystemAndAdministrators(folder));
  // Again over the folder it secured: still fine.
  EXPECT_TRUE(SecureInstallFolder(folder + L"\\"));

  // Under Program Files: inheritance does it, nothing is made or changed.
  wchar_t programFiles[MAX_PATH] = {};
  ASSERT_TRUE(SUCCEEDED(
      SHGetFolderPathW(nullptr, CSIDL_PROGRAM_FILES, nullptr, SHGFP_TYPE_CURRENT, programFiles)));
  const std::wstring inside = std::wstring(programFiles) + L"\\LumRightsTest\\Bastion";
  lines.clear();
  EXPECT_TRUE(SecureInstallFolder(inside));
  EXPECT_FALSE(FolderExists(inside));
  EXPECT_EQ("", lines);

  // A drive's root is never made the product's.
  EXPECT_FALSE(SecureInstallFolder(L"C:\\"));

  // A link a user planted where the install folder goes.
  const std::wstring target = root + L"\\target";
  ASSERT_TRUE(CreateDirectoryW(target.c_str(), nullptr));
  const std::wstring planted = root + L"\\Planted\\Bastion";
  ASSERT_TRUE(CreateDirectoryW((root + L"\\Planted").c_str(), nullptr));
  if (!planted::PlantFolderLink(planted, target)) GTEST_SKIP() << "no link could be planted";
  lines.clear();
  EXPECT_FALSE(SecureInstallFolder(planted));
  EXPECT_NE(std::string::npos, lines.find("writable for administrators only | " +
                                          WideToUtf8(planted) + " | 1920"))  // ERROR_CANT_ACCESS_FILE
      << lines;
  planted::RemovePlantedLink(planted);
  log::ClearSink();
}

}  // namespace
}  // namespace lum
