// The skinned modal dialog: an in-memory template run with
// DialogBoxIndirectParamW, a nine-part background, a close button (id 2),
// dragging from anywhere and EndDialog for command ids 1 to 11.
// CLFDialog is the rectangular variant with the installer's own images.
//
// Threading: one modal call on the calling (interface) thread.
#pragma once
#include <windows.h>

#include "ui/skin/som_button_win.h"
#include "ui/skin/som_wnd_manager_win.h"

namespace lum {

// The dialog implementation's slots, in order.
class CSomDialogImpl {
 public:
  virtual BOOL ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                    LRESULT& result) = 0;
  virtual ~CSomDialogImpl() = default;
  virtual DLGPROC GetDialogProc() = 0;
  virtual void OnFinalMessage(HWND window) {}
  virtual void SetRegion(int cx, int cy) = 0;
};

class CSomDialog : public CSomDialogImpl, public CSomWndManager {
 public:
  static constexpr int kTemplateWidth = 187;  // dialog units
  static constexpr int kTemplateHeight = 98;
  static constexpr UINT kCloseId = IDCANCEL;

  CSomDialog() = default;
  ~CSomDialog() override = default;

  BOOL ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                            LRESULT& result) override;
  DLGPROC GetDialogProc() override { return &CSomDialog::DialogProc; }
  // A rounded rectangle with 7 x 7 corners and the four inner corner pixels cut.
  void SetRegion(int cx, int cy) override;

  // Runs the dialog modally; the EndDialog id, or -1 when it could not be created.
  INT_PTR DoModal(HWND owner);
  void EraseBackground(HDC dc, const RECT* rect) override;

  HWND Window() const { return window_; }
  CSomButton3& CloseButton() { return close_; }

 protected:
  // The images the subclass supplies.
  virtual CSomBitmap* BackgroundImage() = 0;
  virtual CSomBitmap* CloseImage() = 0;

  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  HWND window_ = nullptr;
  CSomWndTipImpl<CSomButton3> close_;
};

class CLFDialog : public CSomDialog {
 public:
  void SetRegion(int cx, int cy) override {}

 protected:
  CSomBitmap* BackgroundImage() override;
  CSomBitmap* CloseImage() override;
};

}  // namespace lum
