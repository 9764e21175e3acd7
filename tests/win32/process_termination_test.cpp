// Process lookup and termination against real processes: copies of the
// stand-in sleeper program under scratch folders.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "install/action_script.h"
#include "install/process_termination_win.h"
#include "install/shell_win.h"
#include "system/file_ops_win.h"
#include "system/folder_tree_win.h"
#include "system/win_handle_win.h"

namespace lum {
namespace {

std::wstring SleeperPath() { return ParentFolder(OwnModulePath()) + L"\\lum_test_sleeper.exe"; }

std::wstring Scratch(const std::wstring& name) {
  wchar_t temp[MAX_PATH + 1] = {};
  GetTempPathW(MAX_PATH, temp);
  return std::wstring(temp) + name + L"_" + std::to_wstring(GetCurrentProcessId());
}

// Copies the sleeper to `path` and starts it; the process ends with the object.
class RunningCopy {
 public:
  explicit RunningCopy(const std::wstring& path) : path_(path) {
    CreateFolderTree(ParentFolder(path));
    if (!CopyFileW(SleeperPath().c_str(), path.c_str(), FALSE)) return;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    std::wstring line = L"\"" + path + L"\" 60000";
    if (CreateProcessW(path.c_str(), &line[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                       nullptr, &startup, &info)) {
      process_.Reset(info.hProcess);
      CloseHandle(info.hThread);
      id_ = info.dwProcessId;
    }
  }
  ~RunningCopy() {
    if (process_) {
      TerminateProcess(process_.Get(), 0);
      WaitForSingleObject(process_.Get(), 5000);
    }
    DeleteFileW(path_.c_str());
  }
  bool Started() const { return process_.Valid(); }
  DWORD Id() const { return id_; }
  bool Ended(DWORD waitMs = 0) const { return WaitForSingleObject(process_.Get(), waitMs) == 0; }

 private:
  std::wstring path_;
  UniqueHandle process_;
  DWORD id_ = 0;
};

TEST(ProcessTerminationTest, EndsProgramsInTheFolderAndSparesTheSiblingWithTheSamePrefix) {
  ASSERT_TRUE(FileExists(SleeperPath())) << "lum_test_sleeper.exe is built next to the tests";
  const std::wstring install = Scratch(L"LumEndUnder");
  const std::wstring sibling = install + L"_old";
  {
    RunningCopy inside(install + L"\\safemon\\ZVSafeTray.exe");
    RunningCopy top(install + L"\\ZVSafeMain.exe");
    RunningCopy spared(sibling + L"\\ZVSafeMain.exe");
    ASSERT_TRUE(inside.Started() && top.Started() && spared.Started());

    // Forward slashes and a trailing backslash name the same folder.
    std::wstring written = install + L"\\";
    for (wchar_t& c : written) c = c == L'\\' ? L'/' : c;
    EXPECT_EQ(0, EndProcessesUnder(written, 5000));
    EXPECT_TRUE(inside.Ended());  // the call waited for them
    EXPECT_TRUE(top.Ended());
    EXPECT_FALSE(spared.Ended(200));
  }
  DeleteFolderTree(install);
  DeleteFolderTree(sibling);
}

// The active-defense worker that the install run abandons after its bounded
// wait goes on looking processes up while the install thread does the same:
// both must always find this very process, and never see a table that the
// other is filling.
TEST(ProcessTerminationTest, LookupsFromTwoThreadsAtOnceEachSeeAWholeTable) {
  const std::wstring self = FileNamePart(OwnModulePath());
  const DWORD pid = GetCurrentProcessId();
  std::atomic<int> wrong{0};
  auto lookups = [&] {
    for (int i = 0; i < 60; ++i) {
      DWORD found = 0;
      std::vector<DWORD> all;
      if (!FindProcess(self, &found) || found != pid) ++wrong;
      if (!FindAllProcesses(self, &all) || all.size() != 1 || all[0] != pid) ++wrong;
    }
  };
  std::thread worker(lookups);
  lookups();
  worker.join();
  EXPECT_EQ(0, wrong.load());
}

TEST(ProcessTerminationTest, EmptyFolderOrUnknownProcessFail) {
  EXPECT_EQ(-1, EndProcessesUnder(L"", 100));
  DWORD id = 0;
  EXPECT_FALSE(FindProcess(L"lum-no-such-program.exe", &id));
  std::vector<DWORD> ids;
  EXPECT_FALSE(FindAllProcesses(L"lum-no-such-program.exe", &ids));
  EXPECT_FALSE(EndProcess(0x7FFFFFF0));
}

TEST(ProcessTerminationTest, ProcessEntryEndsEveryCopyWhileFindProcessReportsOne) {
  const std::wstring folder = Scratch(L"LumTwins");
  const std::wstring name = L"LumTwin" + std::to_wstring(GetCurrentProcessId()) + L".exe";
  {
    RunningCopy first(folder + L"\\a\\" + name);
    RunningCopy second(folder + L"\\b\\" + name);
    ASSERT_TRUE(first.Started() && second.Started());

    std::vector<DWORD> ids;
    ASSERT_TRUE(FindAllProcesses(L"LUMTWIN" + std::to_wstring(GetCurrentProcessId()) + L".EXE", &ids));
    EXPECT_EQ(2u, ids.size());
    DWORD one = 0;
    ASSERT_TRUE(FindProcess(name, &one));
    EXPECT_TRUE(one == first.Id() || one == second.Id());

    // The script's [process] entry as the install run carries it out.
    CShell shell(folder, folder);
    const DWORD before = GetTickCount();
    EXPECT_TRUE(RunProcessCommand({L"Terminate_And_Wait", name, L"400"}, shell));
    EXPECT_GE(GetTickCount() - before, 350u);  // the entry's wait was kept
    EXPECT_TRUE(first.Ended(2000));
    EXPECT_TRUE(second.Ended(2000));

    // Nothing runs any more: the entry reports it did nothing.
    EXPECT_FALSE(RunProcessCommand({L"terminate_and_wait", name, L"3000"}, shell));
    EXPECT_FALSE(RunProcessCommand({L"terminate"}, shell));
  }
  DeleteFolderTree(folder);
}

TEST(ProcessTerminationTest, FixedSequenceWithNothingRunningTakesItsOneSecond) {
  const DWORD before = GetTickCount();
  CloseProductPrograms();
  const DWORD spent = GetTickCount() - before;
  EXPECT_GE(spent, 950u);
  EXPECT_LT(spent, 1900u);
}

}  // namespace
}  // namespace lum
