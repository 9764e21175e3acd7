// The portable rules of shortcuts, restart re-runs and the file module's
// export table.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "install/bapi_exports.h"
#include "install/shortcut_names.h"
#include "system/desktop_listing.h"
#include "system/restart_rerun.h"

namespace lum {
namespace {

TEST(ShortcutNamesTest, NamesFromTheLanguageTableMustStayInsideTheirFolder) {
  EXPECT_TRUE(IsPlainShortcutName(L"Lum Bastion.lnk"));
  EXPECT_TRUE(IsPlainShortcutName(L"\x041F\x0435\x0441\x043E\x0447\x043D\x0438\x0446\x0430.lnk"));
  for (const wchar_t* bad : {L"", L" ", L".", L"..", L"..\\x.lnk", L"a/b.lnk", L"C:x.lnk"})
    EXPECT_FALSE(IsPlainShortcutName(bad)) << bad;

  EXPECT_TRUE(IsMenuSubPath(L"Lum Security Center\\Lum Bastion"));
  EXPECT_TRUE(IsMenuSubPath(L"Lum Bastion"));
  // Each of these would make the deleted tree the programs folder or
  // something outside it.
  for (const wchar_t* bad : {L"", L"\\", L"Lum\\", L"\\Lum", L"..", L"Lum\\..\\..", L"C:\\Lum",
                             L"Lum\\\\Bastion", L"\\\\server\\share"})
    EXPECT_FALSE(IsMenuSubPath(bad)) << bad;
}

TEST(DesktopListingTest, OnlyShortcutsAndDesktopIniCount) {
  EXPECT_TRUE(NamesAreOnlyShortcuts({}));
  EXPECT_TRUE(NamesAreOnlyShortcuts({L".", L"..", L"desktop.ini", L"Lum Bastion.lnk", L"A.LNK"}));
  EXPECT_FALSE(NamesAreOnlyShortcuts({L".", L"..", L"a.lnk", L"notes.txt"}));
  EXPECT_FALSE(NamesAreOnlyShortcuts({L"folder"}));
}

TEST(RestartRerunTest, CommandLinesOfTheRunAfterTheRestart) {
  EXPECT_EQ(L"\"C:\\Temp\\LumBastionSetup.exe\" /post",
            RestartRerunCommand(L"C:\\Temp\\LumBastionSetup.exe"));
  EXPECT_EQ(L" /post:wait", PostWaitArguments());
}

TEST(BapiExportsTest, SeventyNineDistinctNamesInTheModulesOrder) {
  std::set<std::string> seen;
  for (const char* name : kBapiExportNames) {
    ASSERT_NE(nullptr, name);
    EXPECT_TRUE(seen.insert(name).second) << name;
  }
  EXPECT_EQ(79u, seen.size());
  EXPECT_STREQ("InitEngine", kBapiExportNames[kBapiInitEngine]);
  EXPECT_STREQ("UninitRegEngine", kBapiExportNames[kBapiUninitRegEngine]);
  EXPECT_STREQ("Install", kBapiExportNames[kBapiInstall]);
  EXPECT_STREQ("Uninstall", kBapiExportNames[6]);
  EXPECT_STREQ("FSCreateFile", kBapiExportNames[7]);
  EXPECT_STREQ("FSDeleteFileW", kBapiExportNames[kBapiDeleteFileIndex]);
  EXPECT_STREQ("FSUnlockAll", kBapiExportNames[47]);
  EXPECT_STREQ("BRegOpenKey", kBapiExportNames[48]);
  EXPECT_STREQ("BRegDeleteKeyExW", kBapiExportNames[72]);
  EXPECT_STREQ("FsForceKill", kBapiExportNames[73]);
  EXPECT_STREQ("QueryFileLockEx", kBapiExportNames[78]);
}

}  // namespace
}  // namespace lum
