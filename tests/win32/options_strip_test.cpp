// The options strip as a real owned popup of a real main window: the folder
// rules of a picked directory (the boxes answered by a helper thread), the
// disk text and the drive check with the drive seams, the layout, the picker
// opened by a click on the path button, and update mode.
#include "ui/config_dlg_win.h"

#include <gtest/gtest.h>

#include <string>

#include "install/pre_install_checks.h"
#include "install/pre_install_checks_win.h"
#include "session/session_settings.h"
#include "system/product_location_win.h"
#include "tests/win32/box_answerer.h"
#include "ui/skin/dpi_scale_win.h"
#include "ui/skin/gdiplus_win.h"
#include "ui/skin/skin_resources_win.h"

namespace lum {
namespace {

int g_driveClass = kDriveLocalFixed;
uint64_t g_freeBytes = 50ULL << 30;
int ClassifyForTest(wchar_t) { return g_driveClass; }
bool g_freeReadable = true;
bool FreeBytesForTest(const std::wstring&, uint64_t* bytes) {
  *bytes = g_freeBytes;
  return g_freeReadable;
}

int g_folderChanged = 0;
LRESULT CALLBACK MainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == CConfigDlg::kFolderChangedMessage) ++g_folderChanged;
  return ::DefWindowProcW(window, message, wParam, lParam);
}

void Pump() {
  MSG msg;
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
}

class OptionsStripTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(StartGdiPlus());
    SessionSettings& session = Session();
    session.texts[L"disk_text"] = L"G %.01f / %.01f";
    session.texts[L"disk_text2"] = L"M %.01f / %.01f";
    session.texts[L"inst_text"] = L"Install Folder:";
    for (const wchar_t* key : {kKeyNotWritable, kKeyTooLong, kKeyNoUDisk, kKeyNoDiskSpace})
      session.texts[key] = key;
    g_driveClass = kDriveLocalFixed;
    g_freeBytes = 50ULL << 30;
    g_freeReadable = true;
    SetDriveClassifierForTest(&ClassifyForTest);
    SetFreeSpaceReaderForTest(&FreeBytesForTest);
    WNDCLASSW wc = {};
    wc.lpfnWndProc = &MainProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"LumStripTestMain";
    ::RegisterClassW(&wc);
    const DpiScale& dpi = Dpi();
    main_ = ::CreateWindowExW(0, L"LumStripTestMain", L"main", WS_POPUP | WS_VISIBLE, 100, 50,
                              dpi.Scale(552), dpi.Scale(450), nullptr, nullptr,
                              ::GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(nullptr, main_);
    ::CreateDirectoryW(L"C:\\lum_strip", nullptr);
    ::CreateDirectoryW(L"C:\\lum_strip\\Apps", nullptr);
  }
  void TearDown() override {
    SetDriveClassifierForTest(nullptr);
    SetFreeSpaceReaderForTest(nullptr);
    if (main_) ::DestroyWindow(main_);
  }
  HWND main_ = nullptr;
};

TEST_F(OptionsStripTest, PickedFoldersFollowTheRulesAndEveryRefusalKeepsTheOldFolder) {
  CConfigDlg strip;
  ASSERT_TRUE(strip.Create(main_, false, L""));
  EXPECT_EQ(DefaultInstallDir(), strip.GetFolder());
  EXPECT_EQ(strip.GetFolder(), strip.PathButton().Text());
  EXPECT_EQ(strip.GetFolder(), strip.PathButton().TipText());
  EXPECT_FALSE(::IsWindowVisible(strip.Window()));
  EXPECT_EQ(main_, ::GetWindow(strip.Window(), GW_OWNER));

  BoxAnswerer boxes(IDOK, strip.Window());
  int shown = 0;
  g_folderChanged = 0;
  auto accepted = [&](const std::wstring& picked, const std::wstring& folder) {
    strip.ChooseFolder(picked);
    Pump();
    EXPECT_EQ(folder, strip.GetFolder()) << picked;
    EXPECT_EQ(folder, strip.PathButton().Text());
    EXPECT_EQ(folder, strip.PathButton().TipText());
    EXPECT_EQ(shown, boxes.Answered()) << picked;
  };
  auto refused = [&](const std::wstring& picked, const std::wstring& key) {
    const std::wstring before = strip.GetFolder();
    const int changed = g_folderChanged;
    strip.ChooseFolder(picked);
    Pump();
    ++shown;
    EXPECT_EQ(key, strip.LastMessageKey()) << picked;
    EXPECT_EQ(shown, boxes.Answered()) << picked;
    EXPECT_EQ(before, strip.GetFolder()) << picked;
    EXPECT_EQ(before, strip.PathButton().Text());
    EXPECT_EQ(changed, g_folderChanged);
    EXPECT_TRUE(::IsWindowEnabled(strip.Window()));
  };

  accepted(L"C:\\lum_strip\\Apps", L"C:\\lum_strip\\Apps\\Lum\\Bastion");
  EXPECT_EQ(1, g_folderChanged);
  accepted(L"C:\\", L"C:\\Lum\\Bastion");
  EXPECT_EQ(2, g_folderChanged);
  strip.ChooseFolder(L"");  // the picker was cancelled
  EXPECT_EQ(L"C:\\Lum\\Bastion", strip.GetFolder());

  const std::wstring base = L"C:\\lum_strip\\";
  const std::wstring hundred = base + std::wstring(100 - base.size(), L'a');
  const std::wstring hundredOne = base + std::wstring(101 - base.size(), L'b');
  ASSERT_TRUE(::CreateDirectoryW(hundred.c_str(), nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS);
  ASSERT_TRUE(::CreateDirectoryW(hundredOne.c_str(), nullptr) ||
              ::GetLastError() == ERROR_ALREADY_EXISTS);
  accepted(hundred, hundred + L"\\Lum\\Bastion");
  refused(hundredOne, kKeyTooLong);
  refused(L"C:\\lum_strip\\missing", kKeyNotWritable);
  refused(L"\\\\?\\C:\\lum_strip\\Apps", kKeyNoUDisk);  // begins like a network path

  g_driveClass = kDriveRemovable;
  refused(L"C:\\lum_strip\\Apps", kKeyNoUDisk);
  g_driveClass = kDriveLocalFixed;
  g_freeBytes = 300000000ULL;
  refused(L"C:\\lum_strip\\Apps", kKeyNoDiskSpace);
  g_freeBytes = 300000001ULL;
  accepted(L"C:\\lum_strip\\Apps", L"C:\\lum_strip\\Apps\\Lum\\Bastion");
  EXPECT_EQ(static_cast<uint64_t>(300000001ULL), strip.FreeBytes());
  // Every box was shown with the strip disabled under it.
  EXPECT_EQ(boxes.Answered(), boxes.WatchedDisabled());
  EXPECT_EQ(4, g_folderChanged);
  strip.DestroySomWindow();
  ::RemoveDirectoryW(hundred.c_str());
  ::RemoveDirectoryW(hundredOne.c_str());
}

TEST_F(OptionsStripTest, DiskTextSwitchesAtThousandMegabytesAndAReportedProblemRestoresTheFigures) {
  // Figures that cannot be read are not shown as zeros, and the layout stays.
  g_freeReadable = false;
  CConfigDlg unread;
  ASSERT_TRUE(unread.Create(main_, false, L""));
  EXPECT_EQ(L"", unread.DiskText());
  EXPECT_EQ(CConfigDlg::kDriveUsable, unread.DriveState());
  const int buttonTop = unread.PathButton().Rect().top;
  unread.DestroySomWindow();
  g_freeReadable = true;

  g_freeBytes = 900ULL << 20;
  CConfigDlg strip;
  ASSERT_TRUE(strip.Create(main_, false, L""));
  EXPECT_EQ(buttonTop, strip.PathButton().Rect().top);
  EXPECT_EQ(L"M 900.0 / ", strip.DiskText().substr(0, 10));
  EXPECT_EQ(strip.DiskText(), strip.DiskLabel().Markup());
  g_freeBytes = (1000ULL << 20) - 1;
  strip.CheckDrive(false);
  EXPECT_EQ(L"M 1000.0", strip.DiskText().substr(0, 8));
  g_freeBytes = 1000ULL << 20;
  strip.CheckDrive(false);
  EXPECT_EQ(L"G 1.0 / ", strip.DiskText().substr(0, 8));
  EXPECT_EQ(strip.DiskText(), strip.DiskLabel().Markup());
  EXPECT_GT(strip.TotalBytes(), 0u);

  // Layout: the empty anchor fixes the corner, the disk text and the path
  // button keep 26 from the right, the button sits below the text's line.
  const DpiScale& dpi = Dpi();
  RECT client;
  ::GetClientRect(strip.Window(), &client);
  EXPECT_EQ(dpi.Scale(552), client.right);
  EXPECT_EQ(dpi.Scale(CConfigDlg::kHeight), client.bottom);
  EXPECT_EQ(dpi.Scale(26), strip.AnchorLabel().Rect().left);
  EXPECT_EQ(dpi.Scale(30), strip.AnchorLabel().Rect().top);
  EXPECT_EQ(client.right - dpi.Scale(26), strip.DiskLabel().Rect().right);
  EXPECT_EQ(client.right - dpi.Scale(26), strip.PathButton().Rect().right);
  EXPECT_EQ(dpi.Scale(500), strip.PathButton().Width());
  EXPECT_EQ(dpi.Scale(22), strip.PathButton().Height());
  EXPECT_GE(strip.PathButton().Rect().top, strip.DiskLabel().Rect().bottom + dpi.Scale(8));
  EXPECT_LE(strip.PathButton().Rect().bottom, client.bottom);

  // Another language (and face): the text follows, still 26 from the right.
  const std::wstring face = SkinResources::Get().FontFace();
  Session().texts[L"disk_text"] = L"Frei: %.01f von %.01f";
  SkinResources::Get().SetFontFace(L"Tahoma");
  strip.ApplyLanguage();
  EXPECT_EQ(L"Frei: 1.0 von ", strip.DiskLabel().Markup().substr(0, 14));
  EXPECT_EQ(client.right - dpi.Scale(26), strip.DiskLabel().Rect().right);
  EXPECT_GE(strip.PathButton().Rect().top, strip.DiskLabel().Rect().bottom + dpi.Scale(8));
  SkinResources::Get().SetFontFace(face);
  strip.ApplyLanguage();

  BoxAnswerer boxes(IDOK, strip.Window());
  g_freeBytes = 5ULL << 30;
  strip.CheckDrive(false);
  const std::wstring fiveGb = strip.DiskText();
  g_freeBytes = 300000000ULL;
  strip.CheckDrive(false);  // nothing shown: only the figures change
  EXPECT_EQ(CConfigDlg::kDriveUsable, strip.DriveState());
  EXPECT_EQ(0, boxes.Answered());
  EXPECT_EQ(static_cast<uint64_t>(300000000ULL), strip.FreeBytes());
  g_freeBytes = 5ULL << 30;
  strip.CheckDrive(false);
  g_freeBytes = 300000000ULL;
  strip.CheckDrive(true);
  EXPECT_EQ(CConfigDlg::kDriveTooLittleSpace, strip.DriveState());
  EXPECT_EQ(kKeyNoDiskSpace, strip.LastMessageKey());
  EXPECT_EQ(1, boxes.Answered());
  EXPECT_EQ(static_cast<uint64_t>(5ULL << 30), strip.FreeBytes());
  EXPECT_EQ(fiveGb, strip.DiskText());
  g_freeBytes = 300000001ULL;
  strip.CheckDrive(true);
  EXPECT_EQ(CConfigDlg::kDriveUsable, strip.DriveState());
  EXPECT_EQ(1, boxes.Answered());
  g_driveClass = kDriveNetwork;
  strip.CheckDrive(true);
  EXPECT_EQ(CConfigDlg::kDriveNotLocalDisk, strip.DriveState());
  EXPECT_EQ(kKeyNoUDisk, strip.LastMessageKey());
  EXPECT_EQ(2, boxes.Answered());
  EXPECT_EQ(2, boxes.WatchedDisabled());
  EXPECT_TRUE(::IsWindowEnabled(strip.Window()));

  // A click on the path button opens the picker with the strip disabled;
  // cancelling it changes nothing.
  g_driveClass = kDriveLocalFixed;
  const std::wstring folder = strip.GetFolder();
  boxes.SetAnswer(IDCANCEL);
  ::ShowWindow(strip.Window(), SW_SHOWNOACTIVATE);
  const RECT& button = strip.PathButton().Rect();
  const LPARAM at = MAKELPARAM((button.left + button.right) / 2, (button.top + button.bottom) / 2);
  ::SendMessageW(strip.Window(), WM_MOUSEMOVE, 0, at);
  ::SendMessageW(strip.Window(), WM_LBUTTONDOWN, MK_LBUTTON, at);
  ::SendMessageW(strip.Window(), WM_LBUTTONUP, 0, at);
  EXPECT_EQ(3, boxes.Answered());
  EXPECT_EQ(3, boxes.WatchedDisabled());
  EXPECT_EQ(folder, strip.GetFolder());
  EXPECT_TRUE(::IsWindowEnabled(strip.Window()));
  // WM_CLOSE only hides the strip.
  ::SendMessageW(strip.Window(), WM_CLOSE, 0, 0);
  EXPECT_TRUE(::IsWindow(strip.Window()));
  EXPECT_FALSE(::IsWindowVisible(strip.Window()));
  strip.DestroySomWindow();

  HWND updateWindow = nullptr;
  {
    CConfigDlg update;
    ASSERT_TRUE(update.Create(main_, true, L"C:\\Existing\\Lum\\Bastion"));
    EXPECT_EQ(L"C:\\Existing\\Lum\\Bastion", update.GetFolder());
    EXPECT_EQ(L"C:\\Existing\\Lum\\Bastion", update.PathButton().Text());
    updateWindow = update.Window();
  }  // the object goes first: its window goes with it
  EXPECT_FALSE(::IsWindow(updateWindow));
}

}  // namespace
}  // namespace lum
