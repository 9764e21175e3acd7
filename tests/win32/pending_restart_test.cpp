// The window's pending-restart check against the real RunOnce key: the
// "NEED_REBOOT" prompt answered by a helper thread, the "Lumts" entry, the
// restart observed through the test hook, and the "post" relaunch through the
// guarded launcher (a signed stand-in program, an unsigned one refused); and
// the end-of-install restart prompt with its answers.
#include "ui/startup_checks_win.h"

#include <gtest/gtest.h>

#include <string>

#include "install/restart_offer_win.h"
#include "payload/resource_file_win.h"
#include "session/session_settings.h"
#include "system/file_ops_win.h"
#include "system/reboot_flags.h"
#include "system/folder_tree_win.h"
#include "system/reboot_ops_win.h"
#include "system/relocation_folder_win.h"
#include "system/registry_win.h"
#include "system/windows_restart_win.h"
#include "tests/win32/box_answerer.h"
#include "ui/msg_box_win.h"
#include "ui/skin/gdiplus_win.h"
#include "vendor/base_module_win.h"

namespace lum {
namespace {

int g_restarts = 0;
void CountRestart() { ++g_restarts; }

std::wstring RunOnceValue(const wchar_t* name) {
  RegKey key;
  std::wstring value;
  if (!key.Open(HKEY_LOCAL_MACHINE, kRunOnceKey, KEY_QUERY_VALUE) || !key.ReadString(name, &value))
    return L"<absent>";
  return value;
}

void SetRunOnce(const wchar_t* name, const wchar_t* value) {
  RegKey key;
  ASSERT_TRUE(key.Create(HKEY_LOCAL_MACHINE, kRunOnceKey, KEY_SET_VALUE));
  if (value)
    ASSERT_TRUE(key.WriteString(name, value));
  else
    key.DeleteValue(name);
}

class PendingRestartTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(StartGdiPlus());
    SessionSettings& session = Session();
    session.texts[L"NEED_REBOOT"] = L"You must restart your system to complete the installation.";
    session.texts[L"ERROR_CNINTERNETEXIST"] = L"An older product is being removed.";
    session.postRun = false;
    session.postWait = false;
    g_restarts = 0;
    SetRestartHookForTest(&CountRestart);
    SetRunOnce(L"Lumts", nullptr);
  }
  void TearDown() override {
    SetRestartHookForTest(nullptr);
    SetRunOnce(L"sdel", nullptr);
    SetRunOnce(L"Lumts", nullptr);
    Session().postRun = false;
  }
};

// The guarded launcher asks the vendor base module whether an image is signed.
void LoadBaseModuleForTest() {
  if (BaseModuleLoaded()) return;
  wchar_t temp[MAX_PATH] = {};
  ::GetTempPathW(MAX_PATH, temp);
  const std::wstring folder = std::wstring(temp) + L"lum_pending_restart_base_" +
                              std::to_wstring(GetTickCount());
  const std::wstring module = folder + L"\\Lumbase.dll";
  ASSERT_TRUE(CreateProtectedFolder(folder));
  ASSERT_TRUE(WriteResourceToFile(kFileResourceType, kResBaseModule, module));
  ASSERT_TRUE(LoadBaseModule(module));
}

// The check with every box it shows answered by `answer`; *shown counts them.
PendingRestartResult Checked(const std::wstring& installer, WORD answer, int* shown) {
  BoxAnswerer boxes(answer, nullptr);
  const PendingRestartResult result = CheckPendingRestart(nullptr, installer);
  *shown = boxes.Answered();
  return result;
}

TEST_F(PendingRestartTest, PendingUninstallAsksForTheRestartAndConfirmingLeavesTheRerunEntry) {
  // Started from a folder any user may write to: the entry, which runs with
  // full rights after the logon, names a copy under Program Files instead.
  wchar_t temp[MAX_PATH] = {};
  ::GetTempPathW(MAX_PATH, temp);
  const std::wstring downloads = std::wstring(temp) + L"lum_pending_downloads";
  ::CreateDirectoryW(downloads.c_str(), nullptr);
  const std::wstring installer = downloads + L"\\LumBastionSetup.exe";
  ASSERT_TRUE(::CopyFileW(OwnModulePath().c_str(), installer.c_str(), FALSE));
  int shown = -1;
  EXPECT_TRUE(Checked(installer, IDOK, &shown).goOn);
  EXPECT_EQ(0, shown);
  SetRunOnce(L"sdel", L"cmd /c del x");
  PendingRestartResult result = Checked(installer, IDOK, &shown);
  EXPECT_EQ(1, shown);
  EXPECT_FALSE(result.goOn);
  EXPECT_EQ(505, result.exitCode);
  EXPECT_TRUE(result.restartRequested);
  EXPECT_EQ(1, g_restarts);
  const std::wstring entry = RunOnceValue(L"Lumts");
  ASSERT_GT(entry.size(), 8u);
  ASSERT_EQ(L"\" /post", entry.substr(entry.size() - 7)) << entry;
  const std::wstring copy = entry.substr(1, entry.size() - 8);
  EXPECT_NE(installer, copy);
  EXPECT_TRUE(IsRelocationCopy(copy)) << copy;
  EXPECT_EQ(L"LumBastionSetup.exe", FileNamePart(copy));
  EXPECT_TRUE(FileExists(copy));
  // Confirmed again from that copy (a relocated run): the entry names it as it is.
  SetRunOnce(L"Lumts", nullptr);
  Checked(copy, IDOK, &shown);
  EXPECT_EQ(L"\"" + copy + L"\" /post", RunOnceValue(L"Lumts"));
  EXPECT_EQ(2, g_restarts);
  DeleteFolderTree(ParentFolder(copy));
  DeleteFolderTree(downloads);
  SetRunOnce(L"Lumts", nullptr);
  // Declined (or closed): the run still ends, nothing is written or restarted.
  result = Checked(installer, IDCANCEL, &shown);
  EXPECT_EQ(1, shown);
  EXPECT_FALSE(result.goOn || result.restartRequested);
  EXPECT_EQ(505, result.exitCode);
  EXPECT_EQ(2, g_restarts);
  EXPECT_EQ(L"<absent>", RunOnceValue(L"Lumts"));
}

TEST_F(PendingRestartTest, PostRunRelaunchesATrustedCopyWithWaitAndOtherwiseShowsTheRecord) {
  LoadBaseModuleForTest();
  if (HasFatalFailure()) return;
  std::wstring folder = OwnModulePath();
  folder.resize(folder.find_last_of(L'\\') + 1);
  const std::wstring signedProgram = folder + L"product\\Repair.exe";
  const std::wstring unsignedProgram = folder + L"lum_test_sleeper.exe";
  ASSERT_TRUE(FileExists(signedProgram));
  ASSERT_TRUE(FileExists(unsignedProgram));
  Session().postRun = true;
  Session().postWait = false;
  SetRunOnce(L"sdel", L"cmd /c del x");
  int shown = -1;
  PendingRestartResult result = Checked(signedProgram, IDOK, &shown);
  EXPECT_TRUE(result.relaunched);
  EXPECT_FALSE(result.goOn);
  EXPECT_EQ(0, shown);  // the copy with "wait" speaks to the user
  // Not trusted: no relaunch; the pending uninstall is shown and ends the run.
  result = Checked(unsignedProgram, IDOK, &shown);
  EXPECT_FALSE(result.relaunched || result.goOn);
  EXPECT_EQ(505, result.exitCode);
  EXPECT_EQ(1, shown);
  // The waiting copy itself: the record ends it, no record lets it go on.
  Session().postWait = true;
  result = Checked(signedProgram, IDOK, &shown);
  EXPECT_FALSE(result.relaunched || result.goOn);
  EXPECT_EQ(1, shown);
  SetRunOnce(L"sdel", nullptr);
  EXPECT_TRUE(Checked(signedProgram, IDOK, &shown).goOn);
  EXPECT_EQ(0, shown);
  EXPECT_EQ(0, g_restarts);
  EXPECT_EQ(L"<absent>", RunOnceValue(L"Lumts"));
}

// The run after the restart, with RunOnce holding nothing (the usual case):
// it hands over to its "post:wait" copy and the window checks end this run
// with 0, so no welcome page opens beside the waiting copy.
TEST_F(PendingRestartTest, PostRunWithNoPendingRecordEndsTheWindowAfterHandingOver) {
  std::wstring folder = OwnModulePath();
  folder.resize(folder.find_last_of(L'\\') + 1);
  const std::wstring signedProgram = folder + L"product\\Repair.exe";
  ASSERT_TRUE(FileExists(signedProgram));
  LoadBaseModuleForTest();
  if (HasFatalFailure()) return;
  Session().postRun = true;
  Session().postWait = false;
  BoxAnswerer boxes(IDOK, nullptr);
  int code = -1;
  EXPECT_FALSE(RunWindowStartupChecks(nullptr, &code, signedProgram));
  EXPECT_EQ(0, code);
  EXPECT_EQ(0, boxes.Answered());
  // The waiting copy itself goes on to its page.
  Session().postWait = true;
  code = -1;
  EXPECT_TRUE(RunWindowStartupChecks(nullptr, &code, signedProgram));
  EXPECT_EQ(0, code);
  EXPECT_EQ(0, g_restarts);
}

TEST_F(PendingRestartTest, WindowChecksRunInOrderOnThisMachineAndShowWhatStopsThem) {
  int code = -1;
  Session().texts[L"ERROR_RUNNING_GAME_BOOSTER"] = L"Close the game booster first.";
  SetRebootNeeded(false);
  {
    BoxAnswerer boxes(IDOK, nullptr);
    EXPECT_TRUE(RunWindowStartupChecks(nullptr, &code));
    EXPECT_EQ(0, code);
    EXPECT_EQ(0, RunInstallTimeChecks(nullptr));
    EXPECT_EQ(0, boxes.Answered());
    EXPECT_FALSE(RebootNeeded());
  }
  // The product's own removal waits for the restart: the checks pass, the
  // install will need a restart as well.
  SetRunOnce(L"Lumsafeuninst_0123456789abcdef0123456789abcdef", L"cmd /c C:\\x\\removeLum.bat");
  EXPECT_TRUE(RunWindowStartupChecks(nullptr, &code));
  EXPECT_TRUE(RebootNeeded());
  SetRunOnce(L"Lumsafeuninst_0123456789abcdef0123456789abcdef", nullptr);
  SetRebootNeeded(false);
  {
    // A family program started while the page was open stops the install.
    HANDLE booster = ::CreateMutexW(nullptr, FALSE, L"Local\\ZLumGameBooster");
    ASSERT_NE(nullptr, booster);
    BoxAnswerer boxes(IDOK, nullptr);
    EXPECT_EQ(1003, RunInstallTimeChecks(nullptr));
    EXPECT_FALSE(RunWindowStartupChecks(nullptr, &code));
    EXPECT_EQ(1003, code);
    EXPECT_EQ(2, boxes.Answered());
    // The pending restart comes before it: declined, the run ends with 505.
    SetRunOnce(L"sdel", L"cmd /c del x");
    boxes.SetAnswer(IDCANCEL);
    EXPECT_FALSE(RunWindowStartupChecks(nullptr, &code));
    EXPECT_EQ(505, code);
    EXPECT_EQ(3, boxes.Answered());
    ::CloseHandle(booster);
  }
  EXPECT_EQ(0, g_restarts);
}

TEST_F(PendingRestartTest, EndOfInstallPromptRestartsOnExitOnlyWhenRestartNowIsChosen) {
  SessionSettings& session = Session();
  session.silent = false;
  session.showProduct = false;
  session.texts[L"ID_RESTART_LATER"] = L"Later";
  session.texts[L"ID_RESTART_NOW"] = L"Restart now";
  PrepareSkinForLanguage();  // registers the skinned prompt with the install engine
  SetRebootNeeded(true);
  struct Case {
    WORD answer;  // posted with no control: Enter (the default button) or Escape
    bool restart;
  };
  for (const Case& c : {Case{IDOK, true}, Case{IDCANCEL, false}}) {
    SetRestartOnExit(false);
    BoxAnswerer boxes(c.answer, nullptr);
    OfferRestart(nullptr, 0);
    EXPECT_EQ(1, boxes.Answered()) << c.answer;
    EXPECT_EQ(c.restart, RestartOnExit()) << c.answer;
  }
  // Silent: never a prompt.
  session.silent = true;
  SetRestartOnExit(false);
  {
    BoxAnswerer boxes(IDOK, nullptr);
    OfferRestart(nullptr, 0);
    EXPECT_EQ(0, boxes.Answered());
    EXPECT_FALSE(RestartOnExit());
  }
  session.silent = false;
  SetRebootNeeded(false);
  SetRestartPrompt(nullptr);
  EXPECT_EQ(0, g_restarts);
}

}  // namespace
}  // namespace lum
