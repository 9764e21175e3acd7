// The main window driven through its own messages: a language switch to
// another face and back leaves its labels on live fonts; the end of an
// install with a pending removal and files waiting for the restart asks
// once; on the progress page, while the install worker's run has not
// ended, progress 100 (which the worker can post before its last steps)
// must not end the install, however often the end timer fires; and the
// update page's drive problems and a window closed before Install, with the
// exit code and the meaning each leaves.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/exit_codes.h"
#include "install/install_proc_win.h"
#include "install/pre_install_checks.h"
#include "install/pre_install_checks_win.h"
#include "install/restart_offer_win.h"
#include "payload/archive_extract_win.h"
#include "payload/ini_table.h"
#include "payload/resource_file_win.h"
#include "session/session_settings.h"
#include "system/reboot_flags.h"
#include "system/reboot_ops_win.h"
#include "system/registry_win.h"
#include "tests/win32/box_answerer.h"
#include "ui/main_dlg_win.h"
#include "ui/msg_box_win.h"
#include "ui/skin/gdiplus_win.h"
#include "ui/skin/skin_resources_win.h"

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

// The session in `code` from the carried language table, with the table's
// language list offered in the menu.
void UseLanguage(const std::wstring& code) {
  SessionSettings& session = Session();
  session.silent = false;
  session.productInstalled = false;
  session.forcedLanguage = false;
  ASSERT_TRUE(session.table.LoadFromResource(kFileResourceType, kResLanguageTable));
  session.offeredLanguages.clear();
  const std::wstring list = session.table.Value(L"default", L"languages");
  for (size_t at = 0; at < list.size();) {
    const size_t end = std::min(list.find(L';', at), list.size());
    if (end > at) session.offeredLanguages.push_back(list.substr(at, end - at));
    at = end + 1;
  }
  IniTable::KeyMap texts;
  ASSERT_TRUE(session.table.Section(code, texts));
  session.texts = texts;
  session.language = code;
  PrepareSkinForLanguage();
}

// The face a font handle stands for; empty when it is no font (any more).
std::wstring FaceOf(HFONT font) {
  LOGFONTW lf = {};
  if (!font || ::GetObjectW(font, sizeof(lf), &lf) != sizeof(lf)) return L"";
  return lf.lfFaceName;
}

void EatQuit() {
  MSG msg;
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
    if (msg.message != WM_QUIT) ::DispatchMessageW(&msg);
}

// en -> ja -> en through the language menu's commands: ja brings another face,
// and every label of the window and the options strip draws with a live font
// of the face of the moment.
TEST(MainWindowTest, LanguageSwitchLeavesEveryLabelOnALiveFontOfTheNewFace) {
  ASSERT_TRUE(StartGdiPlus());
  UseLanguage(L"en");
  const std::vector<std::wstring>& offered = Session().offeredLanguages;
  const auto ja = std::find(offered.begin(), offered.end(), L"ja");
  const auto en = std::find(offered.begin(), offered.end(), L"en");
  ASSERT_NE(offered.end(), ja);
  ASSERT_NE(offered.end(), en);
  const std::wstring englishFace = SkinResources::Get().FontFace();
  CMainDlg window;
  ASSERT_TRUE(window.Create(SW_SHOWNOACTIVATE));
  auto expectLabelsIn = [&](const std::wstring& face, const char* when) {
    for (CSomTextWnd* label : {&window.LicenceText(), &window.LicenceLink(),
                               &window.InstallingText(), &window.OptionsStrip().DiskLabel()})
      EXPECT_EQ(face, FaceOf(label->Font())) << when << ": " << label->Markup().substr(0, 40).c_str();
  };
  expectLabelsIn(englishFace, "en");
  ::SendMessageW(window.Window(), WM_COMMAND, CMainDlg::kLanguageMenuBase + (ja - offered.begin()), 0);
  const std::wstring japaneseFace = SkinResources::Get().FontFace();
  ASSERT_NE(englishFace, japaneseFace);
  expectLabelsIn(japaneseFace, "ja");
  ::SendMessageW(window.Window(), WM_COMMAND, CMainDlg::kLanguageMenuBase + (en - offered.begin()), 0);
  EXPECT_EQ(englishFace, SkinResources::Get().FontFace());
  expectLabelsIn(englishFace, "back to en");
  ::SendMessageW(window.Window(), WM_COMMAND, CMainDlg::kClose, 0);
  EatQuit();
}

// An older product's removal waiting for the restart and files replaced at
// the restart: the end of the install asks once, not twice.
TEST(MainWindowTest, EndOfInstallAsksForTheRestartOnce) {
  ASSERT_TRUE(StartGdiPlus());
  UseLanguage(L"en");
  Session().showProduct = false;
  CMainDlg window;
  ASSERT_TRUE(window.Create(SW_SHOWNOACTIVATE));
  {
    RegKey key;
    ASSERT_TRUE(key.Create(HKEY_LOCAL_MACHINE, kRunOnceKey, KEY_SET_VALUE));
    ASSERT_TRUE(key.WriteString(L"sdel", L"cmd /c del x"));
  }
  SetRebootNeeded(true);
  SetRestartOnExit(false);
  {
    // Escape: the box closes with "Restart later" (Enter would restart now).
    BoxAnswerer boxes(IDCANCEL, nullptr);
    ::SendMessageW(window.Window(), kFinishMessage, 0, 0);
    EXPECT_EQ(1, boxes.Answered());
  }
  EXPECT_TRUE(window.Finished());
  EXPECT_FALSE(RestartOnExit());
  RegKey key;
  if (key.Open(HKEY_LOCAL_MACHINE, kRunOnceKey, KEY_SET_VALUE)) key.DeleteValue(L"sdel");
  SetRebootNeeded(false);
  SetRestartPrompt(nullptr);
  EatQuit();
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
