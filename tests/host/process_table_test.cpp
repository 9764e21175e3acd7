#include "install/process_table.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

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

// The install thread and the active-defense worker it may abandon look
// processes up at the same time: a lookup never sees a table that the other
// is replacing (a half-copied map, or freed nodes).
TEST(ProcessTableTest, ReplacedWhileAnotherThreadLooksUpEveryLookupSeesAWholeTable) {
  ProcessTable shared, odd, even;
  for (uint32_t i = 0; i < 64; ++i) {
    odd.Add(L"program" + std::to_wstring(i) + L".exe", 1000 + i);
    even.Add(L"program" + std::to_wstring(i) + L".exe", 2000 + i);
  }
  odd.Add(L"ZVActiveDefense.exe", 1);
  even.Add(L"ZVActiveDefense.exe", 2);
  shared.Replace(true, odd);
  std::atomic<bool> done{false};
  std::thread writer([&] {
    for (int i = 0; i < 20000; ++i) shared.Replace(true, i % 2 ? odd : even);
    done = true;
  });
  int wrong = 0, lookups = 0;
  while (!done) {
    uint32_t id = 0;
    std::vector<uint32_t> all;
    if (!shared.Find(L"zvactivedefense.exe", &id) || (id != 1 && id != 2)) ++wrong;
    if (!shared.FindAll(L"program63.exe", &all) || all.size() != 1) ++wrong;
    ++lookups;
  }
  writer.join();
  EXPECT_EQ(0, wrong) << lookups;
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
