// A check box drawn from a twelve-frame strip (unchecked, checked,
// indeterminate; each normal, hover, pressed, disabled) with an optional text.
#pragma once
#include <string>

#include "ui/skin/som_bitmap_win.h"
#include "ui/skin/som_press_win.h"

namespace lum {

class CSomCheckBox : public CSomWnd {
 public:
  // A check-only box can be checked by a click but not unchecked.
  CSomCheckBox(CSomBitmap* strip, bool checkOnly) : strip_(strip), checkOnly_(checkOnly) {}
  void OnCreate() override;
  void OnPaint(HDC dc, int limit, int part) override;
  void OnCaptureLost() override;
  bool OnLButtonDown(POINT point) override { return press_.Down(*this); }
  bool OnLButtonUp(POINT point) override { return press_.Up(*this); }
  void OnMouseEnter(POINT point) override { press_.Enter(*this); }
  void OnMouseLeave() override { press_.Leave(*this); }

  void SetText(const std::wstring& text);
  void SetTextColor(COLORREF color);
  void SetCheck(bool checked);
  void SetIndeterminate(bool indeterminate);
  bool Checked() const { return checked_; }
  bool Indeterminate() const { return indeterminate_; }
  int FrameIndex() const;

 private:
  void Layout();

  SomPressState press_;
  bool checked_ = false;
  bool indeterminate_ = false;
  CSomBitmap* strip_;
  bool checkOnly_;
  int textHeight_ = 0;
  COLORREF textColor_ = 0;
  std::wstring text_;
};

// The blue check box of the installer's pages (image 10019, can be unchecked).
class CLFCheckBoxBlue : public CSomCheckBox {
 public:
  CLFCheckBoxBlue();
};

}  // namespace lum
