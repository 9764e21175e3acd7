#include "system/restart_rerun.h"

#include <gtest/gtest.h>

#include <cwchar>
#include <string>

namespace lum {
namespace {

// Where the RunOnce entry may point: only at a file directly inside a
// numbered folder the installer made under Program Files.
TEST(RestartRerunTest, OnlyACopyInANumberedFolderOfTheParentQualifies) {
  const std::wstring parent = L"C:\\Program Files (x86)";
  EXPECT_TRUE(IsRelocationCopyPath(L"C:\\Program Files (x86)\\1765000000_0\\Setup.exe", parent));
  EXPECT_TRUE(IsRelocationCopyPath(L"c:\\program files (X86)\\1_10\\a.exe", parent + L"\\"));
  for (const wchar_t* path : {
           L"C:\\Users\\me\\Downloads\\Setup.exe",
           L"C:\\Program Files (x86)\\Setup.exe",                    // the parent itself
           L"C:\\Program Files (x86)\\Lum\\Setup.exe",               // not a numbered folder
           L"C:\\Program Files (x86)\\1765_\\Setup.exe",
           L"C:\\Program Files (x86)\\_0\\Setup.exe",
           L"C:\\Program Files (x86)\\17a5_0\\Setup.exe",
           L"C:\\Program Files (x86)\\1_0\\sub\\Setup.exe",          // deeper
           L"C:\\Program Files (x86)\\1_0\\..",
           L"C:\\Program Files (x86)\\1_0\\",
           L"C:\\Program Files (x86)x\\1_0\\Setup.exe",             // a sibling of the parent
           L"C:\\Program Files (x86)\\1_0\\a/b.exe",
       })
    EXPECT_FALSE(IsRelocationCopyPath(path, parent)) << std::string(path, path + wcslen(path));
  EXPECT_FALSE(IsRelocationCopyPath(L"\\1_0\\Setup.exe", L""));
}

TEST(RestartRerunTest, EntryStartsTheQuotedInstallerInAnyCase) {
  const std::wstring copy = L"C:\\Program Files\\1_0\\Setup.exe";
  EXPECT_TRUE(RerunCommandStarts(RestartRerunCommand(copy), copy));
  EXPECT_TRUE(RerunCommandStarts(L"\"c:\\program files\\1_0\\SETUP.exe\" /post", copy));
  EXPECT_FALSE(RerunCommandStarts(L"\"C:\\Program Files\\1_0\\Setup.exe2\" /post", copy));
  EXPECT_FALSE(RerunCommandStarts(L"C:\\Program Files\\1_0\\Setup.exe /post", copy));
  EXPECT_FALSE(RerunCommandStarts(L"\"\" /post", L""));
}

}  // namespace
}  // namespace lum
