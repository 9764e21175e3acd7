// The main window on the progress page while the install worker's run has
// not ended: progress 100 (which the worker can post before its last steps)
// must not end the install, however often the end timer fires. The update
// page's drive problems and a window closed before Install, with the exit
// code and the meaning each leaves.
#include <windows.h>

#include <gtest/gtest.h>

#include "base/exit_codes.h"
#include "install/install_proc_win.h"
#include "install/pre_install_checks.h"
#include "install/pre_install_checks_win.h"
#include "payload/archive_extract_win.h"
#include "payload/ini_table.h"
#include "payload/resource_file_win.h"
#include "session/session_settings.h"
#include "ui/main_dlg_win.h"
#include "ui/skin/gdiplus_win.h"
#include "tests/win32/box_answerer.h"

namespace lum {
namespace {

void PumpFor(DWORD ms) {
  const DWORD start = ::GetTickCount();
  while (::GetTickCount() - start < ms) {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
    ::Sleep(10);
  }
}

void EnglishSession(bool productInstalled) {
  ASSERT_TRUE(StartGdiPlus());
  SessionSettings& session = Session();
  session.silent = false;
  session.productInstalled = productInstalled;
  ASSERT_TRUE(session.table.LoadFromResource(kFileResourceType, kResLanguageTable));
  IniTable::KeyMap english;
  ASSERT_TRUE(session.table.Section(L"en", english));
  session.texts = english;
  session.language = L"en";
}

// A quit message posted by a finished window would end the next modal box.
void DropQuit() {
  MSG msg;
  while (::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
  }
}

int g_driveClass = kDriveLocalFixed;
uint64_t g_freeBytes = 0;
int ClassifyForTest(wchar_t) { return g_driveClass; }
bool FreeBytesForTest(const std::wstring&, uint64_t* bytes) {
  *bytes = g_freeBytes;
  return true;
}

TEST(MainWindowTest, ProgressHundredWaitsForTheWorkersRealEnd) {
  EnglishSession(false);
  if (HasFatalFailure()) return;

  // The worker is up and extracting; no install run has been handed to it.
  CInstallProc* procedure = GetInstallProc();
  ASSERT_NE(nullptr, procedure);
  ASSERT_FALSE(procedure->RunFinished());
  {
    CMainDlg window;
    ASSERT_TRUE(window.Create(SW_SHOWNOACTIVATE));
    window.ShowProgressPage();
    ::SendMessageW(window.Window(), WM_COMMAND, kProgressCommand, MAKELPARAM(100, 100));
    EXPECT_EQ(100, window.ProgressPercent());
    // Five times the end timer's period.
    PumpFor(5 * CMainDlg::kEndTimerMs);
    EXPECT_TRUE(window.OnProgressPage());
    EXPECT_EQ(nullptr, window.NoticePage());
    EXPECT_FALSE(window.Finished());
    EXPECT_TRUE(::IsWindowVisible(window.Window()));
  }
  procedure->RequestCancel();
  procedure->Stop();
  UnloadArchiveLibrary();
  procedure->DeleteWorkFolder();
  DestroyInstallProc();
}

// Update mode keeps the existing folder: a drive that cannot take the update
// ends the run with the silent run's code, which "/autodeploy" callers read
// as a failure. Closing the window before Install keeps 0, but the run says
// it installed nothing.
TEST(MainWindowTest, UpdatePageDriveProblemsEndWithTheSilentCodesAndClosingInstallsNothing) {
  EnglishSession(true);
  if (HasFatalFailure()) return;
  Session().installDir = L"C:\\lum_update_page";
  ::CreateDirectoryW(L"C:\\lum_update_page", nullptr);
  SetDriveClassifierForTest(&ClassifyForTest);
  SetFreeSpaceReaderForTest(&FreeBytesForTest);
  struct Case {
    int driveClass;
    uint64_t freeBytes;
    int code;
  };
  for (const Case& c : {Case{kDriveNetwork, 50ULL << 30, kExitUnsuitableDrive},
                        Case{kDriveLocalFixed, 1000, kExitNoDiskSpace}}) {
    g_driveClass = c.driveClass;
    g_freeBytes = c.freeBytes;
    NoteZeroExit(ZeroExit::kInstalled);
    BoxAnswerer boxes(IDOK, nullptr);
    CMainDlg window;
    ASSERT_TRUE(window.Create(SW_SHOWNOACTIVATE)) << c.code;
    ::SendMessageW(window.Window(), WM_COMMAND, MAKEWPARAM(CMainDlg::kInstall, 0), 0);
    EXPECT_TRUE(window.Finished()) << c.code;
    EXPECT_EQ(c.code, window.ExitCode());
    EXPECT_FALSE(window.Installing());
    EXPECT_EQ(1, boxes.Answered()) << "the drive's message";
    DropQuit();
  }
  g_driveClass = kDriveLocalFixed;
  g_freeBytes = 50ULL << 30;
  for (bool closeButton : {true, false}) {
    NoteZeroExit(ZeroExit::kInstalled);
    CMainDlg window;
    ASSERT_TRUE(window.Create(SW_SHOWNOACTIVATE));
    if (closeButton)
      ::SendMessageW(window.Window(), WM_COMMAND, MAKEWPARAM(CMainDlg::kClose, 0), 0);
    else
      ::SendMessageW(window.Window(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(window.Finished());
    EXPECT_EQ(0, window.ExitCode());
    EXPECT_EQ(ZeroExit::kClosedByUser, NotedZeroExit());
    EXPECT_STRNE("installed", ExitCodeMeaning(0, NotedZeroExit()));
    DropQuit();
  }
  NoteZeroExit(ZeroExit::kInstalled);
  SetDriveClassifierForTest(nullptr);
  SetFreeSpaceReaderForTest(nullptr);
  Session().productInstalled = false;
}

}  // namespace
}  // namespace lum
