// The options strip under the main window: the install folder on a path
// button (the whole path as its tip), the free space and the size of the
// folder's drive, and the folder picker with its rules. It checks the drive
// when a folder is chosen and when the install starts.
//
// Threading: the interface thread only.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

#include "ui/skin/som_button_win.h"
#include "ui/skin/som_text_wnd_win.h"
#include "ui/skin/som_window_win.h"
#include "ui/skin/som_wnd_manager_win.h"

namespace lum {

class CConfigDlg : public CSomWindow, public CSomWndManager, public CMessageFilter {
 public:
  enum DriveState : int { kDriveUsable = 0, kDriveTooLittleSpace = 1, kDriveNotLocalDisk = 2 };
  static constexpr int kPathButtonId = 5005;
  static constexpr int kHeight = 98;  // 96-DPI pixels
  // Posted (no parameters) to the main window after a folder was chosen.
  static constexpr UINT kFolderChangedMessage = WM_USER + 501;

  class CPathButton : public CSomWndTipImpl<CSomButton4> {
   public:
    void SetText(const std::wstring& text) override;
    void OnPaint(HDC dc, int limit, int part) override;
  };

  // Creates the strip hidden, owned by `mainWindow`, `Scale(552)` x
  // `Scale(98)`. `updateMode` keeps the existing install folder (`folder`);
  // otherwise the default folder is used.
  bool Create(HWND mainWindow, bool updateMode, const std::wstring& folder);
  // The window goes while the members it paints and the filter are alive.
  ~CConfigDlg() override { DestroySomWindow(); }
  void ApplyLanguage();
  // Sets DriveState(); with `report` a problem is shown (owner = the main
  // window) and the byte counts of before the call are put back.
  void CheckDrive(bool report);
  int DriveState() const { return driveState_; }
  const std::wstring& GetFolder() const { return folder_; }
  uint64_t FreeBytes() const { return freeBytes_; }
  uint64_t TotalBytes() const { return totalBytes_; }
  // The free-space text; empty while the figures were never read.
  std::wstring DiskText() const;
  // The browse command's rules for a picked directory (empty = cancelled);
  // the picker itself runs only for the path button.
  void ChooseFolder(const std::wstring& picked);

  BOOL PreTranslateMessage(MSG* msg) override;
  void EraseBackground(HDC dc, const RECT* rect) override;

  CPathButton& PathButton() { return pathButton_; }
  CSomTextWnd& DiskLabel() { return diskLabel_; }
  CSomTextWnd& AnchorLabel() { return anchorLabel_; }
  // The key of the last message the strip showed (empty = none yet).
  const std::wstring& LastMessageKey() const { return lastMessageKey_; }

 protected:
  bool ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                            LRESULT& result) override;
  void OnCreate();
  void Layout();
  void Browse();
  void RefreshDiskText();
  // Shows `key`'s text (owner = the main window) with the strip disabled.
  void ShowStripMessage(const std::wstring& key);

  HWND mainWindow_ = nullptr;
  CSomTextWnd anchorLabel_;
  CSomTextWnd diskLabel_;
  std::wstring folder_;
  HWND toolTip_ = nullptr;
  uint64_t freeBytes_ = 0;
  uint64_t totalBytes_ = 0;
  int driveState_ = kDriveUsable;
  bool spaceRead_ = false;  // the figures above were read at least once
  CPathButton pathButton_;
  bool updateMode_ = false;
  std::wstring initialFolder_;
  std::wstring lastMessageKey_;
};

}  // namespace lum
