#include "ui/skin/som_check_box_win.h"

#include "ui/skin/dpi_scale_win.h"
#include "ui/skin/skin_resources_win.h"

namespace lum {

void CSomCheckBox::OnCreate() {
  press_ = SomPressState();
  Layout();
}

void CSomCheckBox::Layout() {
  if (!strip_) return;
  int width = strip_->FrameWidth(), height = strip_->FrameHeight();
  textHeight_ = 0;
  if (!text_.empty()) {
    HDC dc = ::GetDC(nullptr);
    HGDIOBJ old = ::SelectObject(dc, SkinResources::Get().Font(0));
    SIZE size = {0, 0};
    ::GetTextExtentPoint32W(dc, text_.c_str(), static_cast<int>(text_.size()), &size);
    ::SelectObject(dc, old);
    ::ReleaseDC(nullptr, dc);
    textHeight_ = size.cy;
    width += Dpi().Scale(5) + size.cx;
    height = std::max(height, static_cast<int>(size.cy));
  }
  SetFlag(kTransparent, !text_.empty());
  if (IsAutoSize() && manager_) manager_->SetWndSize(this, width, height);
}

int CSomCheckBox::FrameIndex() const {
  int base = 0;
  if (indeterminate_ && !checkOnly_)
    base = 8;
  else if (checked_)
    base = 4;
  return base + press_.Frame(*this);
}

void CSomCheckBox::OnPaint(HDC dc, int, int) {
  if (!strip_) return;
  if (!text_.empty()) {
    const int oldMode = ::SetBkMode(dc, TRANSPARENT);
    const COLORREF oldColor = ::SetTextColor(dc, textColor_);
    HGDIOBJ oldFont = ::SelectObject(dc, SkinResources::Get().Font(0));
    const int t = textHeight_ == 12 ? 1 : 0;
    const int b = textHeight_ == 14 ? 1 : 0;
    RECT r = {strip_->FrameWidth() + Dpi().Scale(5), t, 1000, strip_->FrameHeight() + b};
    ::DrawTextW(dc, text_.c_str(), static_cast<int>(text_.size()), &r,
                DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    ::SelectObject(dc, oldFont);
    ::SetTextColor(dc, oldColor);
    ::SetBkMode(dc, oldMode);
  }
  strip_->DrawFrame(dc, 0, 0, FrameIndex());
}

void CSomCheckBox::OnCaptureLost() {
  if (!press_.CaptureLost(*this)) return;
  if (checkOnly_) {
    checked_ = true;
  } else if (indeterminate_) {
    checked_ = true;
    indeterminate_ = false;
  } else {
    checked_ = !checked_;
  }
  Invalidate();
  if (manager_) manager_->SendCommand(this, 0, static_cast<WORD>(id_));
}

void CSomCheckBox::SetText(const std::wstring& text) {
  if (text == text_) return;
  text_ = text;
  Layout();
  Invalidate();
}

void CSomCheckBox::SetTextColor(COLORREF color) {
  if (color == textColor_) return;
  textColor_ = color;
  Invalidate();
}

void CSomCheckBox::SetCheck(bool checked) {
  if (checked == checked_) return;
  checked_ = checked;
  Invalidate();
}

void CSomCheckBox::SetIndeterminate(bool indeterminate) {
  if (indeterminate == indeterminate_) return;
  indeterminate_ = indeterminate;
  Invalidate();
}

CLFCheckBoxBlue::CLFCheckBoxBlue()
    : CSomCheckBox(&SkinResources::Get().Image(SkinResources::kCheckBoxBlue), false) {}

}  // namespace lum
