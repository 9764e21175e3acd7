// The main window's two drawn buttons: the options button with its icon
// (CIconButton) and the language button with its arrow (CDropDownButton).
#include "ui/main_dlg_win.h"

#include <algorithm>

#include "ui/skin/dpi_scale_win.h"
#include "ui/skin/drawing_surfaces_win.h"
#include "ui/skin/skin_resources_win.h"

namespace lum {

void CMainDlg::CIconButton::SetText(const std::wstring& text) {
  SetTipText(text);
  text_ = text;
  Fit();
  Invalidate();
}

void CMainDlg::CIconButton::SetIcon(CSomBitmap* icon, int frame, bool iconLeft) {
  icon_ = icon;
  iconFrame_ = frame;
  iconLeft_ = iconLeft;
  Fit();
  Invalidate();
}

void CMainDlg::CIconButton::Fit() {
  if (!manager_ || !icon_ || text_.empty()) return;
  const int width = icon_->FrameWidth() +
                    MeasureText(SkinResources::Get().Font(0), text_).cx + Dpi().Scale(15);
  manager_->SetWndSize(this, width, Height());
}

void CMainDlg::CIconButton::OnPaint(HDC dc, int, int) {
  const DpiScale& dpi = Dpi();
  const int w = Width(), h = Height();
  const int state = press_.Frame(*this);
  if (background_) background_->DrawStretched(dc, 0, 0, w, h, linkMode_ ? 0 : state);
  int iconWidth = 0, iconX = 0;
  if (icon_ && icon_->FrameCount() > 0) {
    iconWidth = icon_->FrameWidth();
    iconX = iconLeft_ ? dpi.Scale(5) : w - iconWidth - dpi.Scale(5);
    icon_->DrawFrame(dc, iconX, (h - icon_->FrameHeight()) / 2,
                     std::min(state, icon_->FrameCount() - 1));
  }
  if (text_.empty()) return;
  RECT r = {dpi.Scale(2), dpi.Scale(2), w, h - dpi.Scale(2)};
  UINT flags = DT_PATH_ELLIPSIS | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX;
  if (iconWidth && iconLeft_) r.left = iconX + iconWidth + dpi.Scale(5);
  if (iconWidth && !iconLeft_) {
    r.right = iconX - dpi.Scale(4);
    flags |= DT_RIGHT;
  }
  const int oldMode = ::SetBkMode(dc, TRANSPARENT);
  const COLORREF oldColor = ::SetTextColor(dc, IsEnabled() ? textColor_ : 0x808080);
  HGDIOBJ oldFont = ::SelectObject(dc, SkinResources::Get().Font(largeFont_ ? 5 : 0));
  ::DrawTextW(dc, text_.c_str(), static_cast<int>(text_.size()), &r, flags);
  ::SelectObject(dc, oldFont);
  ::SetTextColor(dc, oldColor);
  ::SetBkMode(dc, oldMode);
}

// --- CDropDownButton ---

void CMainDlg::CDropDownButton::OnPaint(HDC dc, int, int) {
  const int w = Width(), h = Height();
  if (background_) background_->DrawStretched(dc, 0, 0, w, h, press_.Frame(*this));
  if (text_.empty()) return;
  RECT r = {0, 0, w - Dpi().Scale(25), h};
  const int oldMode = ::SetBkMode(dc, TRANSPARENT);
  const COLORREF oldColor = ::SetTextColor(dc, IsEnabled() ? textColor_ : 0x808080);
  HGDIOBJ oldFont = ::SelectObject(dc, SkinResources::Get().Font(0));
  ::DrawTextW(dc, text_.c_str(), static_cast<int>(text_.size()), &r,
              DT_SINGLELINE | DT_VCENTER | DT_CENTER | DT_NOPREFIX);
  ::SelectObject(dc, oldFont);
  ::SetTextColor(dc, oldColor);
  ::SetBkMode(dc, oldMode);
}

}  // namespace lum
