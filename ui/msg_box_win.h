// The one skinned message box through which every error, warning and
// question of the installer goes: the language's logo picture on top, a fixed
// icon, the text in lines ("\n" in the language strings), and one to three
// buttons whose captions come from the caption table.
//
// Threading: a box runs modally on the thread that asks; the caption table
// is written at start-up and by the restart prompt on the interface thread.
#pragma once
#include <windows.h>

#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "i18n/damaged_file_message_win.h"
#include "ui/skin/som_bitmap_win.h"
#include "ui/skin/som_button_win.h"
#include "ui/skin/som_dialog_win.h"
#include "ui/skin/som_text_wnd_win.h"

namespace lum {

// The captions of the message-box buttons by button id (1 = OK, 2 = Cancel,
// ...), and the box's title; ids not given keep their caption.
void SetButtonCaptions(const std::wstring& title, std::initializer_list<std::wstring> captions);
std::wstring ButtonCaption(int id);
const std::wstring& MessageBoxTitle();

class CMsgBoxDialog : public CLFDialog {
 public:
  static constexpr int kDefaultPicture = 10105;
  static constexpr int kHiDpiPictureOffset = 50;
  static constexpr COLORREF kLineColor = 0x323232;
  static constexpr COLORREF kSecondaryTextColor = 0xE9A000;
  static constexpr COLORREF kPrimaryTextColor = 0xFFFFFF;

  // `flags` & 0xF chooses the button set as the system message box does.
  CMsgBoxDialog(int pictureId, const std::wstring& text, UINT flags, int defaultId);
  ~CMsgBoxDialog() override;

  BOOL ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                            LRESULT& result) override;
  void EraseBackground(HDC dc, const RECT* rect) override;

  // The answer of the close button, Escape and Alt+F4 (2 unless set).
  void SetCloseAnswer(int id) { closeAnswer_ = id; }

  // Button ids of a set from left to right, 0 for a hidden button.
  static void ButtonIds(UINT flags, int ids[3]);

  const std::vector<CSomTextWnd*>& Lines() const { return lines_; }
  CSomButton4& Button(int index) { return buttons_[index]; }
  CSomBitmap& Picture() { return *picture_; }
  bool HasPicture() { return picture_->Loaded(); }

 protected:
  CSomBitmap* BackgroundImage() override;
  void OnInit();
  void Layout(int cx, int cy);
  void PlaceWindow();

  std::vector<CSomTextWnd*> lines_;
  CSomButton4 buttons_[3];
  UINT flags_;
  int defaultId_;
  std::unique_ptr<CSomBitmap> picture_;
  int closeAnswer_ = IDCANCEL;
  std::vector<std::wstring> pieces_;
};

// Shows the box and returns the id of the button pressed (2 when it was
// closed). Falls back to the system message box when the skin cannot draw
// (GDI+ missing).
int ShowMessageBox(HWND owner, int pictureId, const std::wstring& text, UINT flags, int defaultId);

// The language's "poplogo" picture id (0 when the table has none).
int PopLogoId();
// Before the first window: declares DPI awareness, gives the skin the chosen
// language's installed face, fills button captions 1 and 2 and the title, and
// registers ShowRestartPrompt as the end-of-install restart prompt.
void PrepareSkinForLanguage();
// The damaged-file message shown through the skinned box (Yes/No).
DamagedFilePrompt SkinnedDamagedFilePrompt();
// The restart prompt at the end of an install: true for "restart now" (its
// button 2); closing the box counts as "later".
bool ShowRestartPrompt(HWND owner);

}  // namespace lum
