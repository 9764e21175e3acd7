// The skin's buttons: CSomButton3 is a four-state image strip, CSomButton4 a
// stretched three-part background with an optional icon and a text;
// CSomWndTipImpl<T> adds a tooltip to either.
#pragma once
#include <string>

#include "ui/skin/som_bitmap_win.h"
#include "ui/skin/som_press_win.h"
#include "ui/skin/som_wnd_manager_win.h"

namespace lum {

class CSomButton3 : public CSomWnd {
 public:
  explicit CSomButton3(CSomBitmap* background = nullptr) : background_(background) {}
  void OnCreate() override;
  void OnPaint(HDC dc, int limit, int part) override;
  void OnCaptureLost() override;
  bool OnLButtonDown(POINT point) override { return press_.Down(*this); }
  bool OnLButtonUp(POINT point) override { return press_.Up(*this); }
  void OnMouseEnter(POINT point) override { press_.Enter(*this); }
  void OnMouseLeave() override { press_.Leave(*this); }

  void SetImage(CSomBitmap* background);
  bool Hovered() const { return press_.hover; }
  bool Pressed() const { return press_.pressed; }

 protected:
  SomPressState press_;
  CSomBitmap* background_;
};

class CSomButton4 : public CSomWnd {
 public:
  explicit CSomButton4(CSomBitmap* background = nullptr) : background_(background) {}
  void OnCreate() override;
  void OnPaint(HDC dc, int limit, int part) override;
  void OnCaptureLost() override;
  bool OnSetCursor(POINT point) override;
  bool OnLButtonDown(POINT point) override { return press_.Down(*this); }
  bool OnLButtonUp(POINT point) override { return press_.Up(*this); }
  void OnMouseEnter(POINT point) override { press_.Enter(*this); }
  void OnMouseLeave() override { press_.Leave(*this); }
  virtual void SetText(const std::wstring& text);
  virtual void SetTextFormat(const wchar_t* format, ...);
  virtual void SetIcon(CSomBitmap* icon, int frame);

  void SetBackground(CSomBitmap* background);
  void SetTextColor(COLORREF color);
  void SetLargeFont(bool large);
  void SetFont(HFONT font);
  void SetLinkMode(bool link) {
    if (link == linkMode_) return;
    linkMode_ = link;
    Invalidate();
  }
  const std::wstring& Text() const { return text_; }
  COLORREF TextColor() const { return textColor_; }
  CSomBitmap* Background() const { return background_; }
  bool Hovered() const { return press_.hover; }

 protected:
  void Layout();
  HFONT TextFont() const;

  SomPressState press_;
  std::wstring text_;
  COLORREF textColor_ = 0;
  bool largeFont_ = false;
  CSomBitmap* icon_ = nullptr;
  int iconFrame_ = 0;
  CSomBitmap* background_;
  int contentOffset_ = 0;
  bool linkMode_ = false;
  HFONT font_ = nullptr;
  unsigned generation_ = 0;  // of the skin's fonts the text was measured with
};

// T with a tooltip: the area is registered while the mouse is over it.
template <typename T>
class CSomWndTipImpl : public T {
 public:
  using T::T;
  void SetTipText(const std::wstring& tip) { tip_ = tip; }
  const std::wstring& TipText() const { return tip_; }
  void OnMouseEnter(POINT point) override {
    if (!tip_.empty() && this->manager_) this->manager_->AddTip(this, 0, nullptr);
    T::OnMouseEnter(point);
  }
  void OnMouseLeave() override {
    if (this->manager_) this->manager_->RemoveTip(this);
    T::OnMouseLeave();
  }
  void OnGetTipText(UINT, NMTTDISPINFOW* info) override {
    if (info) info->lpszText = const_cast<wchar_t*>(tip_.c_str());
  }

 private:
  std::wstring tip_;
};

}  // namespace lum
