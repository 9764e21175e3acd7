// Where the main window's controls stand: the welcome page of a fresh
// install and of an update, the background, the options strip and the shadow.
#include "ui/main_dlg_win.h"

#include <algorithm>

#include "ui/skin/dpi_scale_win.h"
#include "ui/skin/skin_resources_win.h"

namespace lum {

namespace {

void CentreAt(CSomWnd& control, int width, int y) {
  control.SetPos((width - control.Width()) / 2, y);
}

// A check box with its label to the right, vertically centred on one row.
int PlaceRow(CSomWnd& box, CSomWnd& label, int left, int y) {
  const int gap = Dpi().Scale(5);
  const int height = std::max(box.Height(), label.Height());
  box.SetPos(left, y + (height - box.Height()) / 2);
  label.SetPos(left + box.Width() + gap, y + (height - label.Height()) / 2);
  return height;
}

int RowWidth(const CSomWnd& box, const CSomWnd& label) { return box.Width() + label.Width(); }

}  // namespace

void CMainDlg::OnLayoutChanged(const RECT&) { Layout(); }

void CMainDlg::ResizeClient(int width, int height) {
  RECT now;
  ::GetWindowRect(window_, &now);
  if (now.right - now.left == width && now.bottom - now.top == height) return;
  ::SetWindowPos(window_, nullptr, 0, 0, width, height,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CMainDlg::Layout() {
  if (!window_ || finished_ || !closeButton_.Manager()) return;
  RECT client;
  ::GetClientRect(window_, &client);
  const int width = client.right;
  const DpiScale& dpi = Dpi();
  closeButton_.SetPos(width - closeButton_.Width(), 0);
  languageButton_.SetPos(closeButton_.Rect().left - dpi.Scale(6) - languageButton_.Width(),
                         dpi.Scale(10));
  CentreAt(installingText_, width, dpi.Scale(311));
  if (progressPage_) {
    progressBar_.SetPos(0, dpi.Scale(kProgressTop));
    return;
  }
  if (updateMode_)
    LayoutUpdate(width);
  else
    LayoutFresh(width);
}

void CMainDlg::LayoutFresh(int width) {
  const DpiScale& dpi = Dpi();
  int y = dpi.Scale(kBannerHeight + 26);
  CentreAt(licenceText_, width, y);
  y += licenceText_.Height() + dpi.Scale(6);
  CentreAt(licenceLink_, width, y);
  y += licenceLink_.Height() + dpi.Scale(16);
  CentreAt(installButton_, width, y);
  y += installButton_.Height() + dpi.Scale(8);

  int rows = 0;
  if (cloudEnabled_) rows = std::max(rows, RowWidth(cloudBox_, cloudLabel_));
  if (offerShown_) rows = std::max(rows, RowWidth(offerBox_, offerLabel_));
  const int left = (width - rows - dpi.Scale(5)) / 2;
  if (cloudEnabled_) y += PlaceRow(cloudBox_, cloudLabel_, left, y);
  if (offerShown_) {
    y += dpi.Scale(6);
    y += PlaceRow(offerBox_, offerLabel_, left, y);
  }
  const int height = std::max(dpi.Scale(kHeight), y + dpi.Scale(30));
  optionsButton_.SetPos(width - optionsButton_.Width() - dpi.Scale(12),
                        height - optionsButton_.Height() - dpi.Scale(8));
  ResizeClient(dpi.Scale(kWidth), height);
}

void CMainDlg::LayoutUpdate(int width) {
  const DpiScale& dpi = Dpi();
  CentreAt(installButton_, width, dpi.Scale(316));
  const int rowWidth = RowWidth(acceptBox_, acceptLabel_) + dpi.Scale(5);
  const int left = (width - rowWidth) / 2;
  const int y = installButton_.Rect().bottom + dpi.Scale(18);
  const int rowHeight = PlaceRow(acceptBox_, acceptLabel_, left, y);
  if (cloudEnabled_) PlaceRow(cloudBox_, cloudLabel_, left, y + rowHeight + dpi.Scale(8));
  ResizeClient(dpi.Scale(kWidth), dpi.Scale(kHeight));
}

void CMainDlg::EraseBackground(HDC dc, const RECT*) {
  if (!window_) return;
  RECT client;
  ::GetClientRect(window_, &client);
  ::FillRect(dc, &client, whiteBrush_);
  const DpiScale& dpi = Dpi();
  const int bannerHeight = dpi.Scale(kBannerHeight);
  SkinResources::Get().Image(SkinResources::kBannerBackground)
      .DrawStretched(dc, 0, 0, client.right, bannerHeight, 0);
  // The language's picture sits in the middle of the banner, above the
  // progress bar's line.
  if (CSomBitmap* picture = Banner()) {
    const int top = std::max(0, (dpi.Scale(kProgressTop) - picture->FrameHeight()) / 2);
    picture->DrawFrame(dc, (client.right - picture->FrameWidth()) / 2, top, 0);
  }
}

BOOL CMainDlg::PreTranslateMessage(MSG* msg) {
  if (!window_ || !msg) return FALSE;
  if (msg->hwnd != window_ && !::IsChild(window_, msg->hwnd)) return FALSE;
  return ::IsDialogMessageW(window_, msg);
}

bool CMainDlg::StripVisible() const {
  return strip_.Window() && ::IsWindowVisible(strip_.Window());
}

void CMainDlg::PlaceStrip() {
  if (!strip_.Window() || !window_) return;
  RECT main, strip;
  ::GetWindowRect(window_, &main);
  ::GetWindowRect(strip_.Window(), &strip);
  const int stripWidth = strip.right - strip.left;
  const int left = main.left + ((main.right - main.left) - stripWidth) / 2;
  ::SetWindowPos(strip_.Window(), nullptr, left, main.bottom, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CMainDlg::FitShadow() {
  if (!shadow_.Window() || !window_) return;
  RECT area;
  ::GetWindowRect(window_, &area);
  if (StripVisible()) {
    RECT strip;
    ::GetWindowRect(strip_.Window(), &strip);
    ::UnionRect(&area, &area, &strip);
  }
  shadow_.FitToRect(area);
}

}  // namespace lum
