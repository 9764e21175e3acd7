#include "ui/skin/som_button_win.h"

#include <cstdarg>
#include <cwchar>
#include <vector>

#include "ui/skin/dpi_scale_win.h"
#include "ui/skin/drawing_surfaces_win.h"
#include "ui/skin/skin_resources_win.h"

namespace lum {

// --- CSomButton3 ---

void CSomButton3::OnCreate() {
  SetFlag(kTransparent, true);
  press_ = SomPressState();
  if (IsAutoSize() && background_ && manager_)
    manager_->SetWndSize(this, background_->FrameWidth(), background_->FrameHeight());
}

void CSomButton3::OnPaint(HDC dc, int, int) {
  if (background_) background_->DrawFrame(dc, 0, 0, press_.Frame(*this));
}

void CSomButton3::OnCaptureLost() {
  if (press_.CaptureLost(*this) && manager_)
    manager_->SendCommand(this, 0, static_cast<WORD>(id_));
}

void CSomButton3::SetImage(CSomBitmap* background) {
  if (background == background_) return;
  background_ = background;
  if (IsAutoSize() && background_ && manager_)
    manager_->SetWndSize(this, background_->FrameWidth(), background_->FrameHeight());
  Invalidate();
}

// --- CSomButton4 ---

void CSomButton4::OnCreate() {
  SetFlag(kTransparent, true);
  press_ = SomPressState();
  Layout();
}

bool CSomButton4::OnSetCursor(POINT) {
  if (!linkMode_) return false;
  ::SetCursor(::LoadCursorW(nullptr, IDC_HAND));
  return true;
}

void CSomButton4::OnCaptureLost() {
  if (press_.CaptureLost(*this) && manager_)
    manager_->SendCommand(this, 0, static_cast<WORD>(id_));
}

HFONT CSomButton4::TextFont() const {
  if (font_) return SkinResources::Get().Current(font_);
  return SkinResources::Get().Font(largeFont_ ? 5 : 2);
}

void CSomButton4::Layout() {
  generation_ = SkinResources::Get().FontGeneration();
  const DpiScale& dpi = Dpi();
  const int iconWidth = icon_ ? icon_->FrameWidth() : 0;
  // Measured with the font it is drawn with: a caption measured in the
  // smaller font 0 would overflow its button.
  const int textWidth = MeasureText(TextFont(), text_).cx;
  int content = iconWidth + textWidth;
  if (iconWidth && textWidth) content += dpi.Scale(5);
  if (!IsAutoSize()) {
    contentOffset_ = (Width() - content) / 2;
    return;
  }
  if (!background_) return;
  const int width = std::max(content + dpi.Scale(20), background_->FrameWidth());
  const int height = Height() ? Height() : background_->FrameHeight();
  if (manager_) manager_->SetWndSize(this, width, height);
  contentOffset_ = (Width() - content) / 2;
}

void CSomButton4::SetText(const std::wstring& text) {
  if (text == text_ && generation_ == SkinResources::Get().FontGeneration()) return;
  text_ = text;
  Layout();
  Invalidate();
}

void CSomButton4::SetTextFormat(const wchar_t* format, ...) {
  std::vector<wchar_t> buffer(1024);
  va_list args;
  va_start(args, format);
  const int n = std::vswprintf(buffer.data(), buffer.size(), format, args);
  va_end(args);
  SetText(n < 0 ? std::wstring() : std::wstring(buffer.data(), static_cast<size_t>(n)));
}

void CSomButton4::SetIcon(CSomBitmap* icon, int frame) {
  if (icon == icon_ && frame == iconFrame_) return;
  icon_ = icon;
  iconFrame_ = frame;
  Layout();
  Invalidate();
}

void CSomButton4::SetBackground(CSomBitmap* background) {
  if (background == background_) return;
  background_ = background;
  Layout();
  Invalidate();
}

void CSomButton4::SetTextColor(COLORREF color) {
  if (color == textColor_) return;
  textColor_ = color;
  Invalidate();
}

void CSomButton4::SetLargeFont(bool large) {
  if (large == largeFont_) return;
  largeFont_ = large;
  Layout();
  Invalidate();
}

void CSomButton4::SetFont(HFONT font) {
  if (font == font_) return;
  font_ = font;
  Layout();
  Invalidate();
}

void CSomButton4::OnPaint(HDC dc, int, int) {
  const int w = Width(), h = Height();
  if (background_) background_->DrawStretched(dc, 0, 0, w, h, linkMode_ ? 0 : press_.Frame(*this));
  int iconWidth = 0;
  if (icon_) {
    iconWidth = icon_->FrameWidth();
    icon_->DrawFrame(dc, contentOffset_, (h - icon_->FrameHeight()) / 2, iconFrame_);
  }
  if (!background_ || text_.empty()) return;
  const int oldMode = ::SetBkMode(dc, TRANSPARENT);
  const COLORREF oldColor = ::SetTextColor(dc, IsEnabled() ? textColor_ : 0x808080);
  HGDIOBJ oldFont = ::SelectObject(dc, TextFont());
  if (icon_) {
    const int left = contentOffset_ + iconWidth + Dpi().Scale(5);
    RECT r = {left, 0, left + 1000, h};
    ::DrawTextW(dc, text_.c_str(), static_cast<int>(text_.size()), &r,
                DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
  } else {
    RECT r = {0, 0, w, h};
    ::DrawTextW(dc, text_.c_str(), static_cast<int>(text_.size()), &r,
                DT_SINGLELINE | DT_VCENTER | DT_CENTER | DT_NOPREFIX);
  }
  ::SelectObject(dc, oldFont);
  ::SetTextColor(dc, oldColor);
  ::SetBkMode(dc, oldMode);
}

}  // namespace lum
