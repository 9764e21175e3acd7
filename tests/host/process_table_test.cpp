#include "install/process_table.h"

#include <gtest/gtest.h>

namespace lum {
namespace {

TEST(ProcessTableTest, NamesMatchInAnyCaseAndFindKeepsTheLastOfAName) {
  ProcessTable table;
  table.Add(L"ZVSafeTray.exe", 10);
  table.Add(L"svchost.exe", 4);
  table.Add(L"zvsafetray.EXE", 22);
  uint32_t id = 0;
  ASSERT_TRUE(table.Find(L"ZVSAFETRAY.exe", &id));
  EXPECT_EQ(22u, id);
  std::vector<uint32_t> ids;
  ASSERT_TRUE(table.FindAll(L"zvsafetray.exe", &ids));
  EXPECT_EQ((std::vector<uint32_t>{10, 22}), ids);
  EXPECT_FALSE(table.Find(L"ZVSafeTray", &id));
  EXPECT_FALSE(table.FindAll(L"other.exe", &ids));
  EXPECT_EQ((std::vector<uint32_t>{10, 22}), ids);  // untouched on a miss
}

TEST(ProcessTableTest, AFailedSnapshotMeansNothingRuns) {
  ProcessTable table, fresh;
  fresh.Add(L"ZVSafeMain.exe", 1200);
  table.Replace(true, fresh);
  uint32_t id = 0;
  ASSERT_TRUE(table.Find(L"zvsafemain.exe", &id));
  // The old id may now be an unrelated process: it must not be answered.
  table.Replace(false, ProcessTable());
  EXPECT_FALSE(table.Find(L"zvsafemain.exe", &id));
}

TEST(ProcessTableTest, PathLiesInFolderOnlyBelowTheWholeFolderName) {
  const std::wstring folder = L"C:\\Program Files\\Lum\\Bastion";
  EXPECT_TRUE(PathLiesInFolder(L"c:\\program files\\lum\\bastion\\safemon\\a.exe", folder));
  EXPECT_TRUE(PathLiesInFolder(L"C:/Program Files/Lum/Bastion/a.exe", folder + L"\\\\"));
  EXPECT_TRUE(PathLiesInFolder(folder + L"\\", folder));  // the folder itself
  EXPECT_FALSE(PathLiesInFolder(L"C:\\Program Files\\Lum\\Bastion_old\\a.exe", folder));
  EXPECT_FALSE(PathLiesInFolder(L"C:\\Program Files\\Lum\\a.exe", folder));
  EXPECT_FALSE(PathLiesInFolder(L"C:\\x.exe", L""));
  EXPECT_FALSE(PathLiesInFolder(L"C:\\x.exe", L"\\"));
}

}  // namespace
}  // namespace lum
