// The install folder's rights when it is not under Program Files: only
// SYSTEM and the Administrators may write there or to the parents it makes
// (read back where the file system keeps rights; Wine keeps none, so there
// the descriptor asked for is read from the log), what a user made inside
// before is taken over, a folder under Program Files is left to its
// inheritance, a drive's root is never taken, and a planted link at the
// install folder or above it is refused with its target untouched.
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
  // The parents it made are admin-only too, not heirs of the drive root.
  for (const std::wstring& parent : {root, root + L"\\Tools"}) {
    EXPECT_NE(std::string::npos,
              lines.find("create install folder parent, writable for administrators only | " +
                         WideToUtf8(parent) + " | 0"))
        << lines;
    if (FolderRightsAreKept()) {
      EXPECT_EQ("", FolderWritersOtherThanSystemAndAdministrators(parent));
    }
  }
  // The descriptor asked for (what Wine cannot keep): no writer but SYSTEM
  // and the Administrators, the Administrators as owner.
  EXPECT_NE(std::string::npos, lines.find("install folder rights asked: " +
                                          WideToUtf8(kSharedProductFolderSddl)))
      << lines;
  EXPECT_EQ("", ProtectedFolderRequestWriters(kSharedProductFolderSddl));
  EXPECT_EQ(0u, std::wstring(kSharedProductFolderSddl).find(L"O:BA"));
  if (FolderRightsAreKept()) {
    EXPECT_EQ("", FolderWritersOtherThanSystemAndAdministrators(folder));
  }

  // What a user made inside before: taken over, each entry through its own
  // handle (owners and DACLs read back where the file system keeps them).
  const std::wstring userFolder = folder + L"\\safemon";
  ASSERT_TRUE(CreateDirectoryW(userFolder.c_str(), nullptr));
  const std::wstring userFile = userFolder + L"\\planted.dll";
  {
    HANDLE file = CreateFileW(userFile.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    CloseHandle(file);
  }
  lines.clear();
  ASSERT_TRUE(SecureInstallFolder(folder));
  EXPECT_NE(std::string::npos, lines.find("install folder content: owner and rights reset | " +
                                          WideToUtf8(folder) + " | 0"))
      << lines;
  if (FolderRightsAreKept()) {
    EXPECT_EQ("", FolderWritersOtherThanSystemAndAdministrators(userFolder));
    EXPECT_EQ("", FolderWritersOtherThanSystemAndAdministrators(userFile));
  }
  DeleteFileW(userFile.c_str());
  RemoveDirectoryW(userFolder.c_str());
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

  // A link on the way above the install folder: refused, nothing made
  // behind it.
  const std::wstring parentLink = root + L"\\LinkedParent";
  if (planted::PlantFolderLink(parentLink, target)) {
    lines.clear();
    EXPECT_FALSE(SecureInstallFolder(parentLink + L"\\Bastion"));
    EXPECT_NE(std::string::npos, lines.find("install folder refused: a parent is a link or a file | " +
                                            WideToUtf8(parentLink) + " | 1920"))
        << lines;
    EXPECT_FALSE(FolderExists(target + L"\\Bastion"));
    planted::RemovePlantedLink(parentLink);
  }
  log::ClearSink();
}

}  // namespace
}  // namespace lum
