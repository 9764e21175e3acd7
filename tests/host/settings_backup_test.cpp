#include "install/settings_backup.h"

#include <gtest/gtest.h>

#include "base/text.h"

namespace lum {
namespace {

IniTable Script(const std::wstring& text) {
  IniTable table;
  const std::vector<uint8_t> bytes = WideToUtf16Le(text, true);
  EXPECT_TRUE(table.Parse(bytes.data(), bytes.size()));
  return table;
}

TEST(SettingsBackupTest, ReinstallIgnoredHoldsEveryValueExactlyAsSpelled) {
  const RelativePathSet set = ReinstallIgnoredFrom(
      Script(L"[reinstallIgnored]\r\nfile02=safemon\\setting.ini\r\nfile01=Safemon\\Setting.ini\r\n"
             L"file03=safemon\\setting.ini\r\n[backupSettings]\r\nfile01=a.dat\r\n"));
  EXPECT_EQ((RelativePathSet{L"Safemon\\Setting.ini", L"safemon\\setting.ini"}), set);
  EXPECT_EQ(0u, set.count(L"SAFEMON\\SETTING.INI"));  // ordinal comparison
}

TEST(SettingsBackupTest, MissingSectionsGiveEmptyLists) {
  const IniTable script = Script(L"[ReinstallIgnored]\r\nfile01=x\r\n[other]\r\na=b\r\n");
  EXPECT_TRUE(ReinstallIgnoredFrom(script).empty());  // section names are case-sensitive
  EXPECT_TRUE(BackupSettingsFrom(script).empty());
}

TEST(SettingsBackupTest, BackupSettingsInKeyOrderWithoutEscapingPaths) {
  const std::vector<std::wstring> paths = BackupSettingsFrom(
      Script(L"[backupSettings]\r\nfile02=GameBooster\\ListSettings.dat\r\n"
             L"file01=GameBooster\\UDGame.dat\r\nfile03=\r\nfile04=..\\..\\Windows\\x.dll\r\n"
             L"file05=C:\\x.dat\r\nfile06=\\root.dat\r\nfile07=a\\.\\b\r\nfile08=a/../b\r\n"));
  EXPECT_EQ(
      (std::vector<std::wstring>{L"GameBooster\\UDGame.dat", L"GameBooster\\ListSettings.dat"}),
      paths);
}

}  // namespace
}  // namespace lum
