// The progress bar on a real visible host window, read back from the host's
// pixels after each step and after a full repaint; the layered shadow around
// a real window that is moved, never activated.
#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

#include "ui/progress_bar_win.h"
#include "ui/shadow_win.h"
#include "ui/skin/dpi_scale_win.h"
#include "ui/skin/gdiplus_win.h"
#include "ui/skin/skin_resources_win.h"

namespace lum {
namespace {

// A visible skinned host with a white background.
class BarHost : public CSomWindow, public CSomWndManager {
 public:
  bool Create(int width, int height) {
    return CreateSomWindow(L"LumBarTestHost", nullptr, {0, 0, width, height}, L"",
                           WS_POPUP | WS_VISIBLE, 0) != nullptr;
  }
  void EraseBackground(HDC dc, const RECT* rect) override {
    RECT area;
    if (rect)
      area = *rect;
    else
      ::GetClipBox(dc, &area);
    ::FillRect(dc, &area, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
  }

 protected:
  bool ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                            LRESULT& result) override {
    return ProcessSkinMessage(window, message, wParam, lParam, &result);
  }
};

bool IsGreen(COLORREF c) { return GetGValue(c) > GetRValue(c) + 60 && GetGValue(c) > 120; }
bool IsGrey(COLORREF c) {
  return GetRValue(c) > 200 && GetRValue(c) < 250 && GetGValue(c) > 200 && GetGValue(c) < 250;
}

// What the host shows at (x, y) now, and what a whole-client repaint draws there.
std::vector<COLORREF> Pixels(HWND host, int x, int y) {
  MSG msg;
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
  HDC window = ::GetDC(host);
  const COLORREF shown = ::GetPixel(window, x, y);
  HDC dc = ::CreateCompatibleDC(window);
  HBITMAP bitmap = ::CreateCompatibleBitmap(window, x + 1, y + 1);
  HGDIOBJ old = ::SelectObject(dc, bitmap);
  ::SendMessageW(host, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
  const COLORREF repainted = ::GetPixel(dc, x, y);
  ::SelectObject(dc, old);
  ::DeleteObject(bitmap);
  ::DeleteDC(dc);
  ::ReleaseDC(host, window);
  return {shown, repainted};
}

void ExpectBar(HWND host, int y, int w, unsigned percent) {
  const int edge = static_cast<int>(percent * w / 100u);
  for (int x : {2, edge - 3, edge + 3, w / 2, w - 3}) {
    if (x < 0 || x >= w) continue;
    for (COLORREF c : Pixels(host, x, y))
      EXPECT_TRUE(x < edge ? IsGreen(c) : IsGrey(c) && !IsGreen(c))
          << percent << "% at x " << x << ": " << std::hex << c;
  }
}

TEST(ProgressBar, FillCoversItsShareOfTheTrackAndStaysAboveItOnFullRepaints) {
  ASSERT_TRUE(StartGdiPlus());
  const DpiScale& dpi = Dpi();
  BarHost host;
  ASSERT_TRUE(host.Create(dpi.Scale(552), dpi.Scale(366)));
  C2LayerProgressBar bar;
  ASSERT_TRUE(bar.Create(&host, host.Window(), C2LayerProgressBar::kTrackImage,
                         C2LayerProgressBar::kFillImage, C2LayerProgressBar::kTrackImageHiDpi,
                         C2LayerProgressBar::kFillImageHiDpi));
  bar.SetPos(0, dpi.Scale(272));
  const RECT track = bar.TrackBounds();
  const int w = track.right - track.left;
  ASSERT_EQ(dpi.Scale(552), w);
  EXPECT_EQ(-w, bar.FillBounds().left);  // out of sight until the first step
  bar.Show(true);
  const int row = (track.top + track.bottom) / 2;
  for (unsigned percent : {0u, 50u, 100u}) {
    bar.SetPercent(static_cast<int>(percent));
    EXPECT_EQ(static_cast<int>(percent * w / 100u) - w, bar.FillBounds().left);
    ExpectBar(host.Window(), row, w, percent);
    // Uncovered: the host repaints everything, the green part stays on top.
    ::RedrawWindow(host.Window(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    ExpectBar(host.Window(), row, w, percent);
  }
  bar.SetPercent(250);  // clamped
  EXPECT_EQ(track.left, bar.FillBounds().left);
  bar.Show(false);
  EXPECT_EQ(RGB(255, 255, 255), Pixels(host.Window(), w / 2, row)[1]);
  host.DestroySomWindow();
}

class TargetWindow : public CSomWindow {
 public:
  bool Create(const RECT& rect) {
    return CreateSomWindow(L"LumShadowTestTarget", nullptr, rect, L"target",
                           WS_POPUP | WS_VISIBLE, 0) != nullptr;
  }

 protected:
  // Like the main window during an install: a close request is refused.
  bool ProcessWindowMessage(HWND, UINT message, WPARAM, LPARAM, LRESULT& result) override {
    if (message != WM_CLOSE) return false;
    ++closes;
    result = 0;
    return true;
  }

 public:
  int closes = 0;
};

BYTE Alpha(DWORD pixel) { return static_cast<BYTE>(pixel >> 24); }

TEST(Shadow, ExtendsScaledSpreadBeyondEachEdgeAfterAMoveAndIsNeverActivated) {
  ASSERT_TRUE(StartGdiPlus());
  const int spread = Dpi().Scale(CShadow::kSpread);
  TargetWindow target;
  ASSERT_TRUE(target.Create({200, 150, 200 + 552, 150 + 450}));
  ::SetForegroundWindow(target.Window());
  CShadow shadow;
  ASSERT_TRUE(shadow.Create(target.Window(), true));
  EXPECT_EQ(0x96080000u, static_cast<DWORD>(::GetWindowLongW(shadow.Window(), GWL_STYLE)));
  EXPECT_EQ(0x08080080u, static_cast<DWORD>(::GetWindowLongW(shadow.Window(), GWL_EXSTYLE)));
  EXPECT_EQ(nullptr, ::GetWindow(shadow.Window(), GW_OWNER));

  auto expectAround = [&](const RECT& of) {
    RECT rect;
    ASSERT_TRUE(::GetWindowRect(shadow.Window(), &rect));
    EXPECT_EQ(of.left - spread, rect.left);
    EXPECT_EQ(of.top - spread, rect.top);
    EXPECT_EQ(of.right + spread, rect.right);
    EXPECT_EQ(of.bottom + spread, rect.bottom);
    // The picture was rendered for that size: clear at the outer corner,
    // soft along the edges, darkest under the window.
    const SIZE size = shadow.PictureSize();
    ASSERT_EQ(rect.right - rect.left, size.cx);
    ASSERT_EQ(rect.bottom - rect.top, size.cy);
    EXPECT_LT(Alpha(shadow.Pixel(0, 0)), 8);
    EXPECT_GT(Alpha(shadow.Pixel(size.cx / 2, size.cy / 2)), 30);
    EXPECT_GT(Alpha(shadow.Pixel(spread - 2, size.cy / 2)), Alpha(shadow.Pixel(1, size.cy / 2)));
  };
  shadow.FitTo(target.Window());
  RECT placed;
  ::GetWindowRect(target.Window(), &placed);
  expectAround(placed);

  ::SetWindowPos(target.Window(), nullptr, 260, 190, 552, 366, SWP_NOZORDER);
  shadow.FitTo(target.Window());
  ::GetWindowRect(target.Window(), &placed);
  expectAround(placed);

  const RECT both = {300, 200, 300 + 552, 200 + 450 + 98};
  shadow.FitToRect(both);
  expectAround(both);

  // Clicks and placement never take the activation from the target.
  EXPECT_EQ(MA_NOACTIVATE,
            ::SendMessageW(shadow.Window(), WM_MOUSEACTIVATE,
                           reinterpret_cast<WPARAM>(shadow.Window()),
                           MAKELPARAM(HTCLIENT, WM_LBUTTONDOWN)));
  EXPECT_NE(shadow.Window(), ::GetActiveWindow());
  EXPECT_NE(shadow.Window(), ::GetForegroundWindow());
  shadow.Show(false);
  EXPECT_FALSE(::IsWindowVisible(shadow.Window()));
  shadow.Show(true);
  EXPECT_TRUE(::IsWindowVisible(shadow.Window()));
  EXPECT_NE(shadow.Window(), ::GetActiveWindow());
  shadow.Destroy();
  EXPECT_EQ(nullptr, shadow.Window());
  target.DestroySomWindow();
}

// A close request that reaches the shadow (a tool, the taskbar) is the
// shadowed window's to decide: it must not end the interface's loop.
TEST(Shadow, CloseRequestGoesToTheShadowedWindowAndNeverQuitsTheLoop) {
  ASSERT_TRUE(StartGdiPlus());
  TargetWindow target;
  ASSERT_TRUE(target.Create({200, 150, 200 + 552, 150 + 450}));
  CShadow shadow;
  ASSERT_TRUE(shadow.Create(target.Window(), true));
  ::SendMessageW(shadow.Window(), WM_CLOSE, 0, 0);
  MSG msg;
  int quits = 0;
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) ++quits; else ::DispatchMessageW(&msg);
  }
  EXPECT_EQ(0, quits);
  EXPECT_EQ(1, target.closes);
  EXPECT_TRUE(::IsWindow(shadow.Window()));
  EXPECT_TRUE(::IsWindow(target.Window()));
  shadow.Destroy();
  target.DestroySomWindow();
}

}  // namespace
}  // namespace lum
