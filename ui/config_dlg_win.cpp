#include "ui/config_dlg_win.h"

// These headers build on windows.h.
#include <commctrl.h>
#include <objbase.h>
#include <shlobj.h>

#include <algorithm>
#include <cwchar>
#include <vector>

#include "base/install_log.h"
#include "i18n/text_direction.h"
#include "install/pre_install_checks.h"
#include "install/pre_install_checks_win.h"
#include "session/session_settings.h"
#include "system/file_ops_win.h"
#include "system/product_location_win.h"
#include "system/windows_version_win.h"
#include "ui/disk_space_text.h"
#include "ui/msg_box_win.h"
#include "ui/skin/dpi_scale_win.h"
#include "ui/skin/skin_resources_win.h"

namespace lum {

namespace {

constexpr const wchar_t* kStripClass = L"LumBastionOptions";
constexpr DWORD kStripStyle = WS_POPUP | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
constexpr DWORD kStripExStyle = WS_EX_TOOLWINDOW;
constexpr COLORREF kLabelColor = 0x606060;
constexpr COLORREF kPathTextColor = 0x505050;
constexpr COLORREF kDisabledTextColor = 0x808080;
constexpr UINT kPathTipSubId = 100;
constexpr UINT kBrowseFlags = BIF_RETURNONLYFSDIRS | BIF_STATUSTEXT | BIF_NEWDIALOGSTYLE;  // 0x45
constexpr int kMargin = 26;
constexpr int kButtonGap = 8;

// Only the drive root matters for the space figures.
bool ReadTotalBytes(const std::wstring& root, uint64_t* total) {
  ULARGE_INTEGER available, size, free;
  if (!::GetDiskFreeSpaceExW(root.c_str(), &available, &size, &free)) return false;
  *total = size.QuadPart;
  return true;
}

// The height of one line of the labels' font.
int LabelLineHeight() {
  HDC dc = ::GetDC(nullptr);
  HGDIOBJ old = ::SelectObject(dc, SkinResources::Get().Font(0));
  SIZE size = {0, 0};
  ::GetTextExtentPoint32W(dc, L"Ag", 2, &size);
  ::SelectObject(dc, old);
  ::ReleaseDC(nullptr, dc);
  return size.cy;
}

}  // namespace

void CConfigDlg::CPathButton::SetText(const std::wstring& text) {
  CSomWndTipImpl<CSomButton4>::SetText(text);
  SetTipText(text);
}

void CConfigDlg::CPathButton::OnPaint(HDC dc, int, int) {
  if (background_) {
    const int frame = linkMode_ ? 0 : press_.Frame(*this);
    background_->DrawStretched(dc, 0, 0, Width(), Height(), frame);
  }
  if (text_.empty()) return;
  const DpiScale& dpi = Dpi();
  const int frameHeight = background_ ? background_->FrameHeight() : Height();
  // The right 34 pixels belong to the folder picture of the background.
  RECT area = {dpi.Scale(6), dpi.Scale(2), Width() - dpi.Scale(34), frameHeight - dpi.Scale(2)};
  const int oldMode = ::SetBkMode(dc, TRANSPARENT);
  const COLORREF oldColor = ::SetTextColor(dc, IsEnabled() ? textColor_ : kDisabledTextColor);
  HGDIOBJ oldFont = ::SelectObject(dc, SkinResources::Get().Font(largeFont_ ? 5 : 0));
  // DT_PATH_ELLIPSIS shortens a long path in the middle; without
  // DT_MODIFYSTRING the text itself stays whole.
  ::DrawTextW(dc, text_.c_str(), static_cast<int>(text_.size()), &area,
              DT_PATH_ELLIPSIS | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
  ::SelectObject(dc, oldFont);
  ::SetTextColor(dc, oldColor);
  ::SetBkMode(dc, oldMode);
}

bool CConfigDlg::Create(HWND mainWindow, bool updateMode, const std::wstring& folder) {
  if (Window()) return true;
  mainWindow_ = mainWindow;
  updateMode_ = updateMode;
  initialFolder_ = folder;
  const DpiScale& dpi = Dpi();
  RECT rect = {0, 0, dpi.Scale(552), dpi.Scale(kHeight)};
  RECT main;
  if (mainWindow && ::GetWindowRect(mainWindow, &main))
    ::OffsetRect(&rect, main.left, main.bottom);
  return CreateSomWindow(kStripClass, mainWindow, rect, L"", kStripStyle, kStripExStyle) != nullptr;
}

void CConfigDlg::OnCreate() {
  MessageLoop().AddMessageFilter(this);
  folder_ = updateMode_ && !initialFolder_.empty() ? initialFolder_ : DefaultInstallDir();
  SkinResources& skin = SkinResources::Get();
  for (CSomTextWnd* label : {&anchorLabel_, &diskLabel_}) {
    label->SetFont(skin.Font(0));
    label->SetTextColor(kLabelColor);
    label->Create(this, 0, 0, 0, 0, 0, CSomWnd::kVisible | CSomWnd::kAutoSize);
  }
  pathButton_.SetBackground(&skin.Image(SkinResources::kPathField));
  pathButton_.SetTextColor(kPathTextColor);
  pathButton_.Create(this, 0, 0, 500, 22, kPathButtonId, CSomWnd::kVisible);
  pathButton_.SetText(folder_);
  toolTip_ = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                               WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, Window(), nullptr,
                               ::GetModuleHandleW(nullptr), nullptr);
  if (toolTip_) {
    SetToolTip(toolTip_, Window());
    // A long folder is shortened on the button; its tip shows all of it.
    ::SendMessageW(toolTip_, TTM_SETMAXTIPWIDTH, 0, Dpi().Scale(600));
  } else {
    log::Action("ui", L"create tooltip", L"options strip", static_cast<long>(::GetLastError()));
  }
  CheckDrive(false);
  Layout();
  if (toolTip_) ::SendMessageW(toolTip_, TTM_ACTIVATE, TRUE, 0);
}

void CConfigDlg::Layout() {
  if (!Window()) return;
  const DpiScale& dpi = Dpi();
  RECT client;
  ::GetClientRect(Window(), &client);
  BeginDeferredUpdate();
  anchorLabel_.SetPos(dpi.Scale(kMargin), dpi.Scale(30));
  const RECT& anchor = anchorLabel_.Rect();
  diskLabel_.SetPos(client.right - dpi.Scale(kMargin) - diskLabel_.Width(), anchor.top);
  // The anchor's text is empty, so it has no height of its own: the button
  // goes below the line the disk text takes (also while it is empty), never
  // across it.
  const int lineBottom =
      anchor.top + std::max({anchorLabel_.Height(), diskLabel_.Height(), LabelLineHeight()});
  pathButton_.SetPos(client.right - dpi.Scale(kMargin) - pathButton_.Width(),
                     lineBottom + dpi.Scale(kButtonGap));
  EndDeferredUpdate();
  // The tip area follows the button (it was registered where it stood).
  if (!pathButton_.Hovered()) {
    RemoveTip(&pathButton_);
    AddTip(&pathButton_, kPathTipSubId, nullptr);
  }
}

void CConfigDlg::ApplyLanguage() {
  RefreshDiskText();
  Layout();
  if (Window()) ::InvalidateRect(Window(), nullptr, FALSE);
}

std::wstring CConfigDlg::DiskText() const {
  // Figures never read (no such drive yet) are not shown as "0.0MB".
  if (!spaceRead_) return std::wstring();
  const DiskSpaceText choice = ChooseDiskSpaceText(freeBytes_, totalBytes_);
  return DiskSpaceLine(Session().Text(choice.key), choice,
                       IsRightToLeftLanguage(SkinResources::Get().Language()));
}

void CConfigDlg::RefreshDiskText() {
  if (!diskLabel_.Manager()) return;
  diskLabel_.SetText(DiskText());
  if (Window()) {
    RECT client;
    ::GetClientRect(Window(), &client);
    diskLabel_.SetPos(client.right - Dpi().Scale(kMargin) - diskLabel_.Width(),
                      anchorLabel_.Rect().top);
  }
}

void CConfigDlg::CheckDrive(bool report) {
  const uint64_t oldFree = freeBytes_, oldTotal = totalBytes_;
  driveState_ = kDriveUsable;
  if (folder_.empty() || ClassifyDrive(folder_[0]) != kDriveLocalFixed)
    driveState_ = kDriveNotLocalDisk;
  if (driveState_ == kDriveUsable) {
    const std::wstring root = std::wstring(1, folder_[0]) + L":\\";
    uint64_t free = 0, total = 0;
    // A failed query keeps the figures of before and counts as usable.
    if (ReadFreeBytes(root, &free)) {
      spaceRead_ = true;
      freeBytes_ = free;
      if (ReadTotalBytes(root, &total)) totalBytes_ = total;
      RefreshDiskText();
      if (!FreeSpaceSufficient(true, free)) driveState_ = kDriveTooLittleSpace;
    }
  }
  if (driveState_ == kDriveUsable) return;
  log::Action("ui", L"install folder drive check", folder_, driveState_);
  if (!report) {
    driveState_ = kDriveUsable;
    return;
  }
  ShowStripMessage(driveState_ == kDriveNotLocalDisk ? kKeyNoUDisk : kKeyNoDiskSpace);
  freeBytes_ = oldFree;
  totalBytes_ = oldTotal;
  RefreshDiskText();
}

void CConfigDlg::ShowStripMessage(const std::wstring& key) {
  lastMessageKey_ = key;
  // The strip takes no input while the box (owned by the main window) is up.
  if (Window()) ::EnableWindow(Window(), FALSE);
  ShowMessageBox(mainWindow_, PopLogoId(), Session().Text(key), MB_OK, IDOK);
  if (Window()) ::EnableWindow(Window(), TRUE);
}

void CConfigDlg::Browse() {
  if (Window()) ::EnableWindow(Window(), FALSE);
  // The new-style picker needs OLE on this thread.
  const HRESULT ole = ::OleInitialize(nullptr);
  const std::wstring title = Session().Text(L"inst_text");
  BROWSEINFOW info = {};
  info.hwndOwner = mainWindow_;
  info.lpszTitle = title.c_str();
  info.ulFlags = kBrowseFlags;
  PIDLIST_ABSOLUTE picked = ::SHBrowseForFolderW(&info);
  wchar_t path[MAX_PATH + 1] = {};
  const bool confirmed = picked != nullptr;
  if (picked) {
    if (!::SHGetPathFromIDListW(picked, path)) path[0] = L'\0';
    ::CoTaskMemFree(picked);
  }
  if (SUCCEEDED(ole)) ::OleUninitialize();
  if (Window()) ::EnableWindow(Window(), TRUE);
  if (!confirmed) return;
  if (path[0] == L'\0') {
    // A virtual folder (no file-system path): only Windows XP lets one through.
    if (GetWindowsVersion().IsXp()) ShowStripMessage(kKeyNoUDisk);
    return;
  }
  ChooseFolder(path);
}

void CConfigDlg::ChooseFolder(const std::wstring& picked) {
  if (picked.empty()) return;
  MachinePreCheckProbes probes;
  std::wstring candidate;
  const std::wstring key =
      CheckPickedInstallFolder(probes, picked, FolderExists(picked), &candidate);
  if (!key.empty()) {
    ShowStripMessage(key);
    return;
  }
  if (candidate.empty()) return;
  const std::wstring previous = folder_;
  folder_ = candidate;
  pathButton_.SetText(folder_);
  // The rules above passed; a failure here (the drive changed meanwhile) is
  // shown and the previous folder comes back.
  CheckDrive(true);
  if (driveState_ != kDriveUsable) {
    folder_ = previous;
    pathButton_.SetText(folder_);
    RefreshDiskText();
    return;
  }
  log::Note("ui", L"install folder chosen: " + folder_);
  if (mainWindow_) ::PostMessageW(mainWindow_, kFolderChangedMessage, 0, 0);
}

BOOL CConfigDlg::PreTranslateMessage(MSG* msg) {
  // The tip is not subclassing the strip: it learns of the mouse from here.
  if (toolTip_ && msg && msg->hwnd == Window() && msg->message >= WM_MOUSEFIRST &&
      msg->message <= WM_MOUSELAST)
    ::SendMessageW(toolTip_, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(msg));
  return FALSE;
}

void CConfigDlg::EraseBackground(HDC dc, const RECT*) {
  RECT client = {0, 0, 0, 0};
  if (Window()) ::GetClientRect(Window(), &client);
  SkinResources::Get().Image(SkinResources::kOptionsBackground).DrawStretched(
      dc, 0, 0, client.right, client.bottom, 0);
}

bool CConfigDlg::ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                      LRESULT& result) {
  LRESULT skin = 0;
  const bool handled = ProcessSkinMessage(window, message, wParam, lParam, &skin);
  if (handled) {
    result = skin;
    return true;
  }
  switch (message) {
    case WM_CREATE:
      OnCreate();
      result = 0;
      return true;
    case WM_DESTROY:
      MessageLoop().RemoveMessageFilter(this);
      toolTip_ = nullptr;  // an owned popup: it goes with the strip
      return false;
    case WM_SIZE:
      Layout();
      result = 0;
      return true;
    case WM_CLOSE:
      ::ShowWindow(window, SW_HIDE);
      result = 0;
      return true;
    case WM_COMMAND:
      if (LOWORD(wParam) == kPathButtonId && HIWORD(wParam) == 0) {
        Browse();
        result = 0;
        return true;
      }
      return false;
    case WM_CTLCOLOREDIT:
      result = reinterpret_cast<LRESULT>(SkinResources::Get().Brush(0));
      return true;
    default:
      return false;
  }
}

}  // namespace lum
