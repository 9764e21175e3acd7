// Word-wrapped plain text that is never broken inside a word: lines are
// filled at blanks before DrawText sees them, except in Chinese and
// Japanese, which DrawText breaks itself.
#pragma once
#include <string>

#include "ui/skin/som_press_win.h"

namespace lum {

class CSomUnspannableTextWnd : public CSomWnd {
 public:
  CSomUnspannableTextWnd();
  void OnCreate() override;
  void OnPaint(HDC dc, int limit, int part) override;
  void OnCaptureLost() override;
  bool OnLButtonDown(POINT point) override { return press_.Down(*this); }
  bool OnLButtonUp(POINT point) override { return press_.Up(*this); }
  void OnMouseEnter(POINT point) override { press_.Enter(*this); }
  void OnMouseLeave() override { press_.Leave(*this); }

  void SetText(const std::wstring& text);
  void SetFont(HFONT font);
  void SetTextColor(COLORREF color, COLORREF hoverColor);
  void SetAlignment(UINT flags);
  const std::wstring& WrappedText() const { return wrapped_; }

 private:
  void Wrap();

  std::wstring source_;
  std::wstring wrapped_;
  HFONT font_;
  unsigned generation_ = 0;  // of the skin's fonts the text was wrapped with
  COLORREF color_ = 0;
  COLORREF hoverColor_ = 0;
  SomPressState press_;
  UINT align_ = DT_CENTER;
};

}  // namespace lum
