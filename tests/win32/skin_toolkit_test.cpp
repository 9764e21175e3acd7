// The skin toolkit on real hidden host windows, driven with real window
// messages: hit order, capture, hover, disabled controls, check boxes,
// tooltips, the WM_DESTROY reset, the scratch surface, DPI and wrapping.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "ui/skin/dpi_scale_win.h"
#include "ui/skin/drawing_surfaces_win.h"
#include "ui/skin/gdiplus_win.h"
#include "ui/skin/skin_resources_win.h"
#include "ui/skin/som_button_win.h"
#include "ui/skin/som_check_box_win.h"
#include "ui/skin/som_text_wnd_win.h"
#include "ui/skin/som_unspannable_text_wnd_win.h"
#include "ui/skin/som_wnd_manager_win.h"

namespace lum {
namespace {

// A host window that offers every message to its manager first and records
// what reaches its own handler.
class TestHost : public CSomWndManager {
 public:
  struct Command {
    WORD id, code;
    LPARAM source;
  };
  std::vector<Command> commands;
  int hostButtonDowns = 0;

  bool Create() {
    static const ATOM kClass = [] {
      WNDCLASSW wc = {};
      wc.lpfnWndProc = &TestHost::Proc;
      wc.hInstance = ::GetModuleHandleW(nullptr);
      wc.lpszClassName = L"LumSkinTestHost";
      wc.hbrBackground = static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH));
      return ::RegisterClassW(&wc);
    }();
    if (!kClass) return false;
    window_ = ::CreateWindowExW(0, L"LumSkinTestHost", L"", WS_POPUP, 0, 0, 1200, 300, nullptr,
                                nullptr, ::GetModuleHandleW(nullptr), this);
    return window_ != nullptr;
  }
  void Destroy() {
    if (window_) ::DestroyWindow(window_);
  }
  HWND Window() const { return window_; }
  LRESULT Send(UINT message, int x, int y) {
    return ::SendMessageW(window_, message, message == WM_MOUSEMOVE ? 0 : MK_LBUTTON,
                          MAKELPARAM(x, y));
  }
  void Click(int x, int y) {
    Send(WM_MOUSEMOVE, x, y);
    Send(WM_LBUTTONDOWN, x, y);
    Send(WM_LBUTTONUP, x, y);
  }

 private:
  static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE)
      ::SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(
                              reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
    auto* self = reinterpret_cast<TestHost*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self) return ::DefWindowProcW(window, message, wParam, lParam);
    LRESULT result = 0;
    if (self->ProcessSkinMessage(window, message, wParam, lParam, &result)) return result;
    if (message == WM_COMMAND)
      self->commands.push_back({LOWORD(wParam), HIWORD(wParam), lParam});
    if (message == WM_LBUTTONDOWN) ++self->hostButtonDowns;
    if (message == WM_NCDESTROY) self->window_ = nullptr;
    return ::DefWindowProcW(window, message, wParam, lParam);
  }
  HWND window_ = nullptr;
};

// A child that fills itself with one colour and records what it is told.
class Recorder : public CSomWnd {
 public:
  explicit Recorder(COLORREF colour) : colour_(colour) {}
  void OnPaint(HDC dc, int, int) override {
    paintedOn = dc;
    ::GetViewportOrgEx(dc, &origin);
    RECT r = {0, 0, Width(), Height()};
    HBRUSH brush = ::CreateSolidBrush(colour_);
    ::FillRect(dc, &r, brush);
    ::DeleteObject(brush);
  }
  void OnMouseEnter(POINT) override { ++enters; }
  void OnMouseLeave() override { ++leaves; }
  void OnDestroy() override { ++destroys; }
  HDC paintedOn = nullptr;
  POINT origin = {-1, -1};
  int enters = 0, leaves = 0, destroys = 0;

 private:
  COLORREF colour_;
};

COLORREF PixelAfterPaint(TestHost& host, int x, int y) {
  HDC screen = ::GetDC(nullptr);
  HDC dc = ::CreateCompatibleDC(screen);
  HBITMAP bitmap = ::CreateCompatibleBitmap(screen, 1200, 300);
  HGDIOBJ old = ::SelectObject(dc, bitmap);
  ::SendMessageW(host.Window(), WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
  const COLORREF pixel = ::GetPixel(dc, x, y);
  ::SelectObject(dc, old);
  ::DeleteObject(bitmap);
  ::DeleteDC(dc);
  ::ReleaseDC(nullptr, screen);
  return pixel;
}

CSomBitmap& CloseStrip() { return SkinResources::Get().Image(SkinResources::kCloseButton); }

// The host's client area as 0x00RRGGBB rows: what its window shows now, or
// what a full repaint draws.
std::vector<uint32_t> ClientPixels(HWND window, bool fullRepaint) {
  RECT client;
  ::GetClientRect(window, &client);
  const int w = client.right, h = client.bottom;
  BITMAPINFO info = {};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB};
  void* bits = nullptr;
  HDC screen = ::GetDC(nullptr);
  HDC memory = ::CreateCompatibleDC(screen);
  HBITMAP dib = ::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = ::SelectObject(memory, dib);
  if (fullRepaint) {
    ::SendMessageW(window, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(memory), PRF_CLIENT);
  } else {
    HDC shown = ::GetDC(window);
    ::BitBlt(memory, 0, 0, w, h, shown, 0, 0, SRCCOPY);
    ::ReleaseDC(window, shown);
  }
  ::GdiFlush();
  std::vector<uint32_t> out(static_cast<const uint32_t*>(bits),
                            static_cast<const uint32_t*>(bits) + static_cast<size_t>(w) * h);
  for (uint32_t& p : out) p &= 0xFFFFFF;
  ::SelectObject(memory, old);
  ::DeleteObject(dib);
  ::DeleteDC(memory);
  ::ReleaseDC(nullptr, screen);
  return out;
}

// Pixels inside `area` where the window differs from a full repaint of it.
int StaleIn(HWND window, const RECT& area) {
  MSG msg;
  while (::PeekMessageW(&msg, window, WM_PAINT, WM_PAINT, PM_REMOVE)) ::DispatchMessageW(&msg);
  RECT client;
  ::GetClientRect(window, &client);
  const std::vector<uint32_t> shown = ClientPixels(window, false);
  const std::vector<uint32_t> fresh = ClientPixels(window, true);
  int stale = 0;
  for (int y = std::max(0L, area.top); y < std::min(client.bottom, area.bottom); ++y)
    for (int x = std::max(0L, area.left); x < std::min(client.right, area.right); ++x)
      if (shown[static_cast<size_t>(y) * client.right + x] !=
          fresh[static_cast<size_t>(y) * client.right + x])
        ++stale;
  return stale;
}

TEST(SkinManager, FirstAddedChildIsHitAndDrawnOnTop) {
  TestHost host;
  ASSERT_TRUE(host.Create());
  Recorder first(RGB(255, 0, 0)), second(RGB(0, 0, 255));
  first.Create(&host, 10, 10, 100, 50, 1, CSomWnd::kVisible);
  second.Create(&host, 60, 20, 100, 50, 2, CSomWnd::kVisible);
  host.Send(WM_MOUSEMOVE, 80, 30);  // inside both
  EXPECT_EQ(&first, host.HoverChild());
  EXPECT_EQ(1, first.enters);
  EXPECT_EQ(0, second.enters);
  host.Send(WM_MOUSEMOVE, 150, 60);  // only the second
  EXPECT_EQ(&second, host.HoverChild());
  EXPECT_EQ(1, first.leaves);
  EXPECT_EQ(RGB(255, 0, 0), PixelAfterPaint(host, 80, 30));
  EXPECT_EQ(RGB(0, 0, 255), PixelAfterPaint(host, 150, 60));
  EXPECT_EQ(RGB(255, 255, 255), PixelAfterPaint(host, 5, 5));  // the class brush
  host.Destroy();
}

TEST(SkinManager, ReleaseOutsideSendsNothingAndBackInsideSendsTheCommand) {
  TestHost host;
  ASSERT_TRUE(host.Create());
  CSomButton3 button(&CloseStrip());
  button.Create(&host, 20, 20, 0, 0, 0x1234, CSomWnd::kVisible | CSomWnd::kAutoSize);
  ASSERT_GT(button.Width(), 0);
  const int x = button.Rect().left + 5, y = button.Rect().top + 5;

  host.Send(WM_MOUSEMOVE, x, y);
  host.Send(WM_LBUTTONDOWN, x, y);
  EXPECT_TRUE(button.Pressed());
  EXPECT_EQ(&button, host.CaptureChild());
  host.Send(WM_MOUSEMOVE, 600, 200);  // dragged out
  EXPECT_FALSE(button.Hovered());
  host.Send(WM_LBUTTONUP, 600, 200);
  EXPECT_TRUE(host.commands.empty());
  EXPECT_EQ(nullptr, host.CaptureChild());

  host.Send(WM_MOUSEMOVE, x, y);
  host.Send(WM_LBUTTONDOWN, x, y);
  host.Send(WM_MOUSEMOVE, 600, 200);
  host.Send(WM_MOUSEMOVE, x, y);  // back in before the release
  host.Send(WM_LBUTTONUP, x, y);
  ASSERT_EQ(1u, host.commands.size());
  EXPECT_EQ(0x1234, host.commands[0].id);
  EXPECT_EQ(0, host.commands[0].code);
  EXPECT_EQ(reinterpret_cast<LPARAM>(&button), host.commands[0].source);
  EXPECT_EQ(0, host.hostButtonDowns);
  host.Destroy();
}

TEST(SkinManager, DisabledButtonGetsNoHoverNoClickAndTheHostGetsTheClick) {
  TestHost host;
  ASSERT_TRUE(host.Create());
  CSomButton3 button(&CloseStrip());
  button.Create(&host, 20, 20, 0, 0, 7, CSomWnd::kVisible | CSomWnd::kAutoSize | CSomWnd::kDisabled);
  const int x = button.Rect().left + 5, y = button.Rect().top + 5;
  host.Click(x, y);
  EXPECT_EQ(nullptr, host.HoverChild());
  EXPECT_FALSE(button.Hovered());
  EXPECT_TRUE(host.commands.empty());
  EXPECT_EQ(1, host.hostButtonDowns);
  button.Enable(true);
  host.Click(x, y);
  EXPECT_EQ(1u, host.commands.size());
  EXPECT_EQ(1, host.hostButtonDowns);
  host.Destroy();
}

// What changes under a held mouse button decides nothing: a button disabled
// while pressed, or a link whose text is replaced while pressed, sends no
// command on release; a button that turns into a link repaints at once.
TEST(SkinManager, ControlChangedWhilePressedSendsNothingOnRelease) {
  TestHost host;
  ASSERT_TRUE(host.Create());
  CSomButton3 button(&CloseStrip());
  button.Create(&host, 20, 20, 0, 0, 7, CSomWnd::kVisible | CSomWnd::kAutoSize);
  const int x = button.Rect().left + 5, y = button.Rect().top + 5;
  host.Send(WM_MOUSEMOVE, x, y);
  host.Send(WM_LBUTTONDOWN, x, y);
  button.Enable(false);
  host.Send(WM_LBUTTONUP, x, y);
  EXPECT_TRUE(host.commands.empty());

  CSomTextWnd text;
  text.Create(&host, 10, 100, 0, 0, 0, CSomWnd::kVisible | CSomWnd::kAutoSize);
  text.SetText(L"{&#A=BUTTON:0x10}old link{&#/A}");
  const RECT link = text.Runs()[0].rect;
  const int lx = 10 + link.left + 2, ly = 100 + link.top + 2;
  host.Send(WM_MOUSEMOVE, lx, ly);
  host.Send(WM_LBUTTONDOWN, lx, ly);
  text.SetText(L"{&#A=BUTTON:0x11}new link{&#/A}");
  host.Send(WM_LBUTTONUP, lx, ly);
  EXPECT_TRUE(host.commands.empty()) << host.commands.size();

  struct CountingButton : CSomButton4 {
    using CSomButton4::CSomButton4;
    void OnPaint(HDC dc, int limit, int part) override {
      ++paints;
      CSomButton4::OnPaint(dc, limit, part);
    }
    int paints = 0;
  } plain(&CloseStrip());
  plain.Create(&host, 300, 20, 60, 20, 9, CSomWnd::kVisible);
  ::ShowWindow(host.Window(), SW_SHOWNA);
  ::UpdateWindow(host.Window());
  const int before = plain.paints;
  plain.SetLinkMode(true);
  ::UpdateWindow(host.Window());
  EXPECT_GT(plain.paints, before);
  host.Destroy();
}

TEST(SkinManager, IndeterminateCheckBoxBecomesCheckedThenToggles) {
  TestHost host;
  ASSERT_TRUE(host.Create());
  CLFCheckBoxBlue box;
  box.SetIndeterminate(true);
  box.Create(&host, 10, 10, 0, 0, 5009, CSomWnd::kVisible | CSomWnd::kAutoSize);
  ASSERT_GT(box.Width(), 0);
  EXPECT_EQ(8, box.FrameIndex());
  host.Click(15, 15);
  EXPECT_TRUE(box.Checked());
  EXPECT_FALSE(box.Indeterminate());
  EXPECT_EQ(1u, host.commands.size());
  host.Click(15, 15);
  EXPECT_FALSE(box.Checked());
  host.Send(WM_MOUSEMOVE, 15, 15);
  EXPECT_EQ(1, box.FrameIndex());  // unchecked, hover

  CSomCheckBox checkOnly(&SkinResources::Get().Image(SkinResources::kCheckBoxGrey), true);
  checkOnly.SetIndeterminate(true);
  checkOnly.Create(&host, 100, 10, 0, 0, 5010, CSomWnd::kVisible | CSomWnd::kAutoSize);
  EXPECT_EQ(0, checkOnly.FrameIndex());  // indeterminate is not drawn for a check-only box
  host.Click(105, 15);
  host.Click(105, 15);
  EXPECT_TRUE(checkOnly.Checked());
  host.Destroy();
}

TEST(SkinManager, TipsAreRegisteredOncePerSubIdAndFreedIdsAreReused) {
  TestHost host;
  ASSERT_TRUE(host.Create());
  HWND tip = ::CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, 0, 0, 0, 0,
                               host.Window(), nullptr, ::GetModuleHandleW(nullptr), nullptr);
  host.SetToolTip(tip, host.Window());
  Recorder a(0), b(0);
  a.Create(&host, 0, 0, 10, 10, 1, CSomWnd::kVisible);
  b.Create(&host, 20, 0, 10, 10, 2, CSomWnd::kVisible);
  EXPECT_EQ(1u, host.AddTip(&a, 0, nullptr));
  EXPECT_EQ(0u, host.AddTip(&a, 0, nullptr));
  EXPECT_EQ(2u, host.AddTip(&a, 1, nullptr));
  EXPECT_EQ(3u, host.AddTip(&b, 0, nullptr));
  ASSERT_NE(nullptr, tip);
  EXPECT_EQ(3, ::SendMessageW(tip, TTM_GETTOOLCOUNT, 0, 0));
  host.RemoveTip(&a);
  EXPECT_EQ(1u, host.AddTip(&b, 7, nullptr));
  EXPECT_EQ(2u, host.AddTip(&b, 8, nullptr));
  EXPECT_EQ(4u, host.AddTip(&b, 9, nullptr));
  EXPECT_EQ(4, ::SendMessageW(tip, TTM_GETTOOLCOUNT, 0, 0));

  // The tip text comes from the child through TTN_GETDISPINFOW.
  CSomWndTipImpl<CSomButton3> tipped(&CloseStrip());
  tipped.SetTipText(L"Close");
  tipped.Create(&host, 300, 10, 0, 0, 8, CSomWnd::kVisible | CSomWnd::kAutoSize);
  host.Send(WM_MOUSEMOVE, 305, 15);
  ASSERT_EQ(5u, host.Tools().size());
  NMTTDISPINFOW info = {};
  info.hdr.hwndFrom = tip;
  info.hdr.code = TTN_GETDISPINFOW;
  for (const auto& entry : host.Tools())
    if (entry.second.child == &tipped) info.hdr.idFrom = entry.first;
  ::SendMessageW(host.Window(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&info));
  ASSERT_NE(nullptr, info.lpszText);
  EXPECT_EQ(std::wstring(L"Close"), info.lpszText);
  host.Send(WM_MOUSEMOVE, 600, 200);
  EXPECT_EQ(4u, host.Tools().size());
  host.Destroy();
}

TEST(SkinManager, DestroyResetsTheManagerAndTheHostCanBeCreatedAgain) {
  TestHost host;
  for (int round = 0; round < 2; ++round) {
    ASSERT_TRUE(host.Create());
    Recorder child(RGB(0, 128, 0));
    child.Create(&host, 10, 10, 50, 50, 3, CSomWnd::kVisible);
    host.Send(WM_MOUSEMOVE, 20, 20);
    EXPECT_EQ(host.Window(), host.Host());
    EXPECT_EQ(&child, host.HoverChild());
    host.AddTip(&child, 0, nullptr);
    ::SendMessageW(host.Window(), WM_SETREDRAW, FALSE, 0);
    EXPECT_FALSE(host.RedrawEnabled());
    host.SuspendImmediatePaint();
    host.Destroy();
    EXPECT_EQ(nullptr, host.Host());
    EXPECT_TRUE(host.Children().empty());
    EXPECT_EQ(nullptr, host.HoverChild());
    EXPECT_TRUE(host.Tools().empty());
    EXPECT_TRUE(host.RedrawEnabled());
    EXPECT_TRUE(host.ImmediatePaint());
    EXPECT_EQ(1, child.leaves);
    EXPECT_EQ(1, child.destroys);
    EXPECT_EQ(nullptr, child.Manager());
    EXPECT_EQ(0u, child.Flags());
    EXPECT_EQ(0u, child.Id());
  }
}

TEST(SkinManager, TransparentChildTooLargeForTheScratchSurfaceIsDrawnStraight) {
  TestHost host;
  ASSERT_TRUE(host.Create());
  ASSERT_NE(nullptr, ScratchDC());
  Recorder small(RGB(10, 20, 30)), large(RGB(30, 20, 10));
  small.Create(&host, 5, 5, 100, 100, 1, CSomWnd::kVisible | CSomWnd::kTransparent);
  large.Create(&host, 5, 120, 1100, 60, 2, CSomWnd::kVisible | CSomWnd::kTransparent);
  EXPECT_EQ(RGB(10, 20, 30), PixelAfterPaint(host, 50, 50));
  EXPECT_EQ(RGB(30, 20, 10), PixelAfterPaint(host, 1000, 150));
  EXPECT_EQ(ScratchDC(), small.paintedOn);
  EXPECT_EQ(0, small.origin.x);
  EXPECT_NE(ScratchDC(), large.paintedOn);
  EXPECT_EQ(5, large.origin.x);
  EXPECT_EQ(120, large.origin.y);
  host.Destroy();
}

TEST(SkinManager, TextLinkSendsItsCommandAndPlainRunsAreNotLinks) {
  TestHost host;
  ASSERT_TRUE(host.Create());
  CSomTextWnd text;
  text.Create(&host, 10, 10, 0, 0, 0, CSomWnd::kVisible | CSomWnd::kAutoSize);
  text.SetText(L"Read {&#A=BUTTON:0x10}this{&#/A} and {&#a=button:12}that{&#/a}");
  ASSERT_EQ(4u, text.Runs().size());
  const RECT link1 = text.Runs()[1].rect, link2 = text.Runs()[3].rect;
  host.Click(10 + link1.left + 2, 10 + link1.top + 2);
  host.Click(10 + link2.left + 2, 10 + link2.top + 2);
  host.Click(10 + text.Runs()[0].rect.left + 2, 12);  // plain text: no command
  ASSERT_EQ(2u, host.commands.size());
  EXPECT_EQ(16, host.commands[0].id);
  EXPECT_EQ(12, host.commands[1].id);
  EXPECT_EQ(-1, text.HoverRun());
  host.Send(WM_MOUSEMOVE, 10 + link2.left + 2, 10 + link2.top + 2);
  EXPECT_EQ(3, text.HoverRun());
  host.Destroy();
}

// A control repainted on its own (text change, hover, invalidation) must
// leave on screen exactly what a full repaint of the window draws: nothing
// of the old text, the old underline or an earlier frame may show through,
// and a control above the repainted one keeps its pixels.
TEST(SkinManager, OneControlRepaintLeavesWhatAFullRepaintDraws) {
  ASSERT_TRUE(StartGdiPlus());
  TestHost host;
  ASSERT_TRUE(host.Create());
  ::ShowWindow(host.Window(), SW_SHOWNOACTIVATE);
  ::UpdateWindow(host.Window());

  // A disk-space line whose figures change but not its width: two digits
  // the skin font draws equally wide.
  HFONT font = SkinResources::Get().Font(0);
  HDC screen = ::GetDC(nullptr);
  HGDIOBJ oldFont = ::SelectObject(screen, font);
  wchar_t before = 0, after = 0;
  for (wchar_t a = L'0'; a <= L'9' && !after; ++a)
    for (wchar_t b = static_cast<wchar_t>(a + 1); b <= L'9' && !after; ++b) {
      SIZE sa, sb;
      ::GetTextExtentPoint32W(screen, &a, 1, &sa);
      ::GetTextExtentPoint32W(screen, &b, 1, &sb);
      if (sa.cx == sb.cx) before = a, after = b;
    }
  ::SelectObject(screen, oldFont);
  ::ReleaseDC(nullptr, screen);
  ASSERT_NE(0, after) << "no two digits of the same width";
  CSomTextWnd disk;
  disk.SetFont(font);
  disk.Create(&host, 10, 10, 0, 0, 0, CSomWnd::kVisible | CSomWnd::kAutoSize);
  disk.SetText(L"Disk space available: " + std::wstring(3, before) + L"GB");
  ::UpdateWindow(host.Window());
  const int width = disk.Width();
  disk.SetText(L"Disk space available: " + std::wstring(3, after) + L"GB");
  ASSERT_EQ(width, disk.Width());
  EXPECT_EQ(0, StaleIn(host.Window(), disk.Rect())) << "same-width text change";

  // An underlined link, hovered and left.
  CSomTextWnd link;
  link.Create(&host, 10, 40, 0, 0, 0, CSomWnd::kVisible | CSomWnd::kAutoSize);
  link.SetText(L"{&#a=button:5006}{&#underline}Read the License Agreement{&#/underline}{&#/a}");
  ::UpdateWindow(host.Window());
  const RECT& run = link.Runs()[0].rect;
  host.Send(WM_MOUSEMOVE, 10 + (run.left + run.right) / 2, 40 + (run.top + run.bottom) / 2);
  EXPECT_EQ(0, link.HoverRun());
  host.Send(WM_MOUSEMOVE, 700, 250);
  EXPECT_EQ(-1, link.HoverRun());
  EXPECT_EQ(0, StaleIn(host.Window(), link.Rect())) << "link left by the mouse";

  // A check box without text, hovered again and again.
  CLFCheckBoxBlue box;
  box.Create(&host, 10, 80, 0, 0, 5012, CSomWnd::kVisible | CSomWnd::kAutoSize);
  ASSERT_GT(box.Width(), 0);
  box.SetCheck(true);
  ::UpdateWindow(host.Window());
  for (int i = 0; i < 6; ++i) {
    host.Send(WM_MOUSEMOVE, 15, 85);
    host.Send(WM_MOUSEMOVE, 700, 250);
  }
  EXPECT_EQ(0, StaleIn(host.Window(), box.Rect())) << "check box hovered six times";

  // A control under another one repaints only what is its own.
  Recorder above(RGB(200, 0, 0)), below(RGB(0, 0, 200));
  above.Create(&host, 400, 10, 100, 50, 1, CSomWnd::kVisible);  // added first: on top
  below.Create(&host, 450, 30, 100, 50, 2, CSomWnd::kVisible);
  ::InvalidateRect(host.Window(), nullptr, FALSE);
  ::UpdateWindow(host.Window());
  below.Invalidate();
  EXPECT_EQ(0, StaleIn(host.Window(), RECT{400, 10, 550, 80})) << "overlapped control repainted";
  host.Destroy();
}

TEST(SkinDpi, LengthsAndImagesFollowTheDisplayScale) {
  DpiScale& dpi = Dpi();
  const DpiScale saved = dpi;
  dpi.Initialise(false, 96);
  CSomBitmap normal(10000, 4, CSomBitmap::kPng, false, 20000);
  EXPECT_EQ(45, normal.FrameWidth());
  EXPECT_EQ(32, normal.FrameHeight());
  EXPECT_EQ(520, dpi.Scale(520));

  dpi.Initialise(false, 144);
  EXPECT_EQ(780, dpi.Scale(520));
  EXPECT_EQ(-20, dpi.FontHeight(14));  // 10 pt
  CSomBitmap scaled(10000, 4, CSomBitmap::kPng, false, 20000);
  // The 240-DPI strip (452 x 80) at 150 %, rounded up to whole frames.
  EXPECT_EQ(68, scaled.FrameWidth());
  EXPECT_EQ(48, scaled.FrameHeight());
  EXPECT_TRUE(scaled.HasAlpha());

  dpi.Initialise(true, 144);  // Windows XP is never scaled
  EXPECT_EQ(520, dpi.Scale(520));
  CSomBitmap xp(10000, 4, CSomBitmap::kPng, false, 20000);
  EXPECT_EQ(45, xp.FrameWidth());
  dpi = saved;
}

TEST(SkinText, WrapBreaksEnglishOnlyAtBlanksAndLeavesJapaneseToDrawText) {
  TestHost host;
  ASSERT_TRUE(host.Create());
  SkinResources& skin = SkinResources::Get();
  const std::wstring english =
      L"Installation requires administrator rights, please accept the prompt to continue";
  skin.SetLanguage(L"en");
  CSomUnspannableTextWnd text;
  text.SetText(english);
  text.Create(&host, 0, 0, 150, 20, 0, CSomWnd::kVisible);
  const std::wstring wrapped = text.WrappedText();
  EXPECT_NE(std::wstring::npos, wrapped.find(L'\n'));
  std::wstring joined = wrapped;
  for (wchar_t& c : joined)
    if (c == L'\n') c = L' ';
  EXPECT_EQ(english, joined);
  EXPECT_GT(text.Height(), 20);

  skin.SetLanguage(L"ja");
  CSomUnspannableTextWnd japanese;
  const std::wstring ja = L"インストールを完了するには、システムを再起動する必要があります。 OK";
  japanese.SetText(ja);
  japanese.Create(&host, 0, 100, 150, 20, 0, CSomWnd::kVisible);
  EXPECT_EQ(ja, japanese.WrappedText());
  skin.SetLanguage(L"en");
  host.Destroy();
}

}  // namespace
}  // namespace lum
