// The closing notice page of a fresh install: the privacy notice with its
// link, the user-experience choice and Continue. It is an owned popup of the
// main window with a shadow of its own; leaving it (Close or Continue) posts
// the finish message to the main window. Alt+F4 cannot close it.
//
// Threading: the interface thread only.
#pragma once
#include <windows.h>

#include <memory>

#include "ui/shadow_win.h"
#include "ui/skin/som_bitmap_win.h"
#include "ui/skin/som_button_win.h"
#include "ui/skin/som_check_box_win.h"
#include "ui/skin/som_text_wnd_win.h"
#include "ui/skin/som_unspannable_text_wnd_win.h"
#include "ui/skin/som_window_win.h"
#include "ui/skin/som_wnd_manager_win.h"

namespace lum {

// A window whose Alt+F4 is swallowed before it reaches the system menu.
class IAltF4Blocker {
 public:
  virtual ~IAltF4Blocker() = default;
  // True when `msg` is Alt+F4 (WM_SYSKEYDOWN, VK_F4, context bit 29).
  static bool IsAltF4(const MSG& msg) {
    return msg.message == WM_SYSKEYDOWN && msg.wParam == VK_F4 && (msg.lParam & (1 << 29)) != 0;
  }
  virtual bool BlocksAltF4(const MSG& msg) const = 0;
};

class CPagePolicyNotice : public CSomWindow,
                          public CSomWndManager,
                          public CMessageFilter,
                          public IAltF4Blocker {
 public:
  static constexpr int kWidth = 552;
  static constexpr int kHeight = 450;
  static constexpr int kHeaderHeight = 36;
  static constexpr COLORREF kHeaderColor = 0xE76628;
  enum CommandId : int { kClose = 8, kPrivacyLink = 5007, kExperienceBox = 5009,
                         kExperienceLink = 5010, kContinue = 1001 };

  CPagePolicyNotice();
  ~CPagePolicyNotice() override;

  // Creates the page hidden over `mainWindow`'s position; leaving it posts
  // `finishMessage` to `mainWindow`.
  bool Create(HWND mainWindow, UINT finishMessage);
  void Show();

  BOOL PreTranslateMessage(MSG* msg) override;
  bool BlocksAltF4(const MSG& msg) const override;
  void EraseBackground(HDC dc, const RECT* rect) override;

  CSomButton4& ContinueButton() { return continueButton_; }
  CSomUnspannableTextWnd& Title() { return title_; }
  CSomUnspannableTextWnd& Description() { return description_; }
  CSomTextWnd& PrivacyLink() { return privacyLink_; }

 protected:
  bool ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                            LRESULT& result) override;

 private:
  void CreateControls();
  void Layout();
  void Leave();

  HWND mainWindow_ = nullptr;
  UINT finishMessage_ = 0;
  HBRUSH whiteBrush_ = nullptr;
  HBRUSH headerBrush_ = nullptr;
  CSomWndTipImpl<CSomButton3> closeButton_;
  CSomUnspannableTextWnd title_;
  CSomUnspannableTextWnd description_;
  CSomTextWnd privacyLink_;
  CSomButton4 continueButton_;
  CLFCheckBoxBlue experienceBox_;
  CSomTextWnd experienceLabel_;
  std::unique_ptr<CSomBitmap> banner_;
  CShadow shadow_;
  bool left_ = false;
};

// Writes HKLM "SOFTWARE\LumBastion\Experience" "UserExperience" (logged).
void WriteUserExperience(bool joined);

}  // namespace lum
