// The main window on the progress page while the install worker's run has
// not ended: progress 100 (which the worker can post before its last steps)
// must not end the install, however often the end timer fires.
#include <windows.h>

#include <gtest/gtest.h>

#include "install/install_proc_win.h"
#include "payload/archive_extract_win.h"
#include "payload/ini_table.h"
#include "payload/resource_file_win.h"
#include "session/session_settings.h"
#include "ui/main_dlg_win.h"
#include "ui/skin/gdiplus_win.h"

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

TEST(MainWindowTest, ProgressHundredWaitsForTheWorkersRealEnd) {
  ASSERT_TRUE(StartGdiPlus());
  SessionSettings& session = Session();
  session.silent = false;
  session.productInstalled = false;
  ASSERT_TRUE(session.table.LoadFromResource(kFileResourceType, kResLanguageTable));
  IniTable::KeyMap english;
  ASSERT_TRUE(session.table.Section(L"en", english));
  session.texts = english;
  session.language = L"en";

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

}  // namespace
}  // namespace lum
