#include "ui/skin/som_unspannable_text_wnd_win.h"

#include "i18n/line_break_win.h"
#include "i18n/text_direction.h"
#include "ui/skin/skin_resources_win.h"

namespace lum {

namespace {

// A language read right to left puts each line's closing punctuation at its
// left end, as the reader ends there.
UINT ReadingOrder() {
  return IsRightToLeftLanguage(SkinResources::Get().Language()) ? DT_RTLREADING : 0;
}

}  // namespace

CSomUnspannableTextWnd::CSomUnspannableTextWnd() : font_(SkinResources::Get().Font(0)) {}

void CSomUnspannableTextWnd::OnCreate() {
  SetFlag(kTransparent, true);
  press_ = SomPressState();
  Wrap();
}

void CSomUnspannableTextWnd::Wrap() {
  generation_ = SkinResources::Get().FontGeneration();
  HDC dc = ::GetDC(nullptr);
  HGDIOBJ old = ::SelectObject(dc, SkinResources::Get().Current(font_));
  const int width = Width();
  wrapped_ = BreakLines(dc, source_, width, SkinResources::Get().Language());
  RECT calc = {0, 0, width, 0};
  ::DrawTextW(dc, wrapped_.c_str(), static_cast<int>(wrapped_.size()), &calc,
              DT_CALCRECT | DT_WORDBREAK | align_ | ReadingOrder());
  ::SelectObject(dc, old);
  ::ReleaseDC(nullptr, dc);
  if (manager_) manager_->SetWndSize(this, Width(), calc.bottom - calc.top);
}

void CSomUnspannableTextWnd::OnPaint(HDC dc, int, int) {
  const int oldMode = ::SetBkMode(dc, TRANSPARENT);
  const COLORREF oldColor = ::SetTextColor(dc, press_.hover ? hoverColor_ : color_);
  HGDIOBJ oldFont = ::SelectObject(dc, SkinResources::Get().Current(font_));
  RECT r = {0, 0, Width(), Height()};
  ::DrawTextW(dc, wrapped_.c_str(), static_cast<int>(wrapped_.size()), &r,
              align_ | DT_WORDBREAK | DT_NOPREFIX | ReadingOrder());
  ::SelectObject(dc, oldFont);
  ::SetTextColor(dc, oldColor);
  ::SetBkMode(dc, oldMode);
}

void CSomUnspannableTextWnd::OnCaptureLost() {
  if (press_.CaptureLost(*this) && manager_)
    manager_->SendCommand(this, 0, static_cast<WORD>(id_));
}

void CSomUnspannableTextWnd::SetText(const std::wstring& text) {
  if (text == source_ && generation_ == SkinResources::Get().FontGeneration()) return;
  source_ = text;
  Wrap();
  Invalidate();
}

void CSomUnspannableTextWnd::SetFont(HFONT font) {
  if (font == font_) return;
  font_ = font;
  Wrap();
  Invalidate();
}

void CSomUnspannableTextWnd::SetTextColor(COLORREF color, COLORREF hoverColor) {
  if (color == color_ && hoverColor == hoverColor_) return;
  color_ = color;
  hoverColor_ = hoverColor;
  Invalidate();
}

void CSomUnspannableTextWnd::SetAlignment(UINT flags) {
  if (flags == align_) return;
  align_ = flags;
  Wrap();
  Invalidate();
}

}  // namespace lum
