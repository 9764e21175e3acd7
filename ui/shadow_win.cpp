#include "ui/shadow_win.h"

#include <algorithm>
#include <cstring>

#include "base/install_log.h"
#include "ui/skin/dpi_scale_win.h"
#include "ui/skin/skin_resources_win.h"

namespace lum {

namespace {

constexpr DWORD kShadowStyle =
    WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_SYSMENU;
constexpr DWORD kShadowExStyle = WS_EX_NOACTIVATE | WS_EX_LAYERED | WS_EX_TOOLWINDOW;
constexpr const wchar_t* kShadowClass = L"LumBastionShadow";

}  // namespace

template <class T>
DWORD CTransparentWnd<T>::Pixel(int x, int y) const {
  if (!bits_ || x < 0 || y < 0 || x >= pictureSize_.cx || y >= pictureSize_.cy) return 0;
  // Bottom-up rows: the first row in memory is the bottom one.
  const DWORD* rows = static_cast<const DWORD*>(bits_);
  return rows[static_cast<size_t>(pictureSize_.cy - 1 - y) * pictureSize_.cx + x];
}

template <class T>
void CTransparentWnd<T>::ReleasePicture() {
  if (picture_) ::DeleteObject(picture_);
  picture_ = nullptr;
  bits_ = nullptr;
  pictureSize_ = {0, 0};
}

template <class T>
void CTransparentWnd<T>::UpdateLayered(const RECT* changed) {
  if (!target_) return;
  RECT window;
  if (!::GetWindowRect(target_, &window)) return;
  const SIZE size = {window.right - window.left, window.bottom - window.top};
  if (size.cx <= 0 || size.cy <= 0) return;
  HDC dc = ::CreateCompatibleDC(nullptr);
  if (!dc) return;
  // A picture of another size cannot be reused: the window was resized.
  if (picture_ && (pictureSize_.cx != size.cx || pictureSize_.cy != size.cy)) ReleasePicture();
  RECT area = {0, 0, size.cx, size.cy};
  if (!picture_) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = size.cx;
    info.bmiHeader.biHeight = size.cy;  // positive: bottom-up
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    picture_ = ::CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits_, nullptr, 0);
    if (!picture_ || !bits_) {
      log::Action("ui", L"layered window picture", L"", static_cast<long>(::GetLastError()));
      picture_ = nullptr;
      bits_ = nullptr;
      ::DeleteDC(dc);
      return;
    }
    pictureSize_ = size;
    std::memset(bits_, 0, static_cast<size_t>(size.cx) * size.cy * 4);
  } else if (changed) {
    RECT clipped;
    if (!::IntersectRect(&clipped, changed, &area)) clipped = {0, 0, 0, 0};
    area = clipped;
    DWORD* rows = static_cast<DWORD*>(bits_);
    for (int y = area.top; y < area.bottom; ++y) {
      DWORD* row = rows + static_cast<size_t>(size.cy - 1 - y) * size.cx;
      std::fill(row + area.left, row + area.right, 0u);
    }
  } else {
    std::memset(bits_, 0, static_cast<size_t>(size.cx) * size.cy * 4);
  }
  HGDIOBJ old = ::SelectObject(dc, picture_);
  if (!::IsRectEmpty(&area)) {
    ::IntersectClipRect(dc, area.left, area.top, area.right, area.bottom);
    Render(dc);
  }
  ::SelectClipRgn(dc, nullptr);
  POINT position = {window.left, window.top};
  POINT origin = {0, 0};
  SIZE pushed = size;
  BLENDFUNCTION blend = {AC_SRC_OVER, 0, constantAlpha_, AC_SRC_ALPHA};
  if (!::UpdateLayeredWindow(target_, nullptr, &position, &pushed, dc, &origin, 0, &blend,
                             ULW_ALPHA))
    log::Action("ui", L"update layered window", L"", static_cast<long>(::GetLastError()));
  ::SelectObject(dc, old);
  ::DeleteDC(dc);
}

template class CTransparentWnd<CShadow>;

bool CShadow::Create(HWND owner, bool visible) {
  if (Window()) return true;
  RECT rect = {0, 0, 0, 0};
  if (owner && ::GetWindowRect(owner, &rect)) {
    const int spread = Dpi().Scale(kSpread);
    ::InflateRect(&rect, spread, spread);
  }
  const DWORD style = visible ? kShadowStyle : (kShadowStyle & ~WS_VISIBLE);
  if (!CreateSomWindow(kShadowClass, nullptr, rect, L"", style, kShadowExStyle)) return false;
  target_ = Window();
  owner_ = owner;
  if (owner)
    ::SetWindowPos(Window(), owner, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
  UpdateLayered(nullptr);
  return true;
}

void CShadow::FitTo(HWND target) {
  RECT rect;
  if (!target || !::GetWindowRect(target, &rect)) return;
  FitToRect(rect);
}

void CShadow::FitToRect(const RECT& rect) {
  if (!Window()) return;
  RECT grown = rect;
  const int spread = Dpi().Scale(kSpread);
  ::InflateRect(&grown, spread, spread);
  ::SetWindowPos(Window(), nullptr, grown.left, grown.top, grown.right - grown.left,
                 grown.bottom - grown.top, SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
  ::InvalidateRect(Window(), nullptr, FALSE);
}

void CShadow::Show(bool show) {
  if (!Window()) return;
  ::ShowWindow(Window(), show ? SW_SHOWNOACTIVATE : SW_HIDE);
}

void CShadow::Destroy() { DestroySomWindow(); }

void CShadow::Render(HDC dc) {
  RECT client = {0, 0, pictureSize_.cx, pictureSize_.cy};
  EraseBackground(dc, &client);
  PaintChildren(dc, client);
}

void CShadow::EraseBackground(HDC dc, const RECT*) {
  // The shadow picture always covers the whole window: its slices only
  // make sense stretched over all of it.
  RECT client = {0, 0, 0, 0};
  if (Window()) ::GetClientRect(Window(), &client);
  SkinResources::Get().Image(SkinResources::kShadow).DrawStretched(dc, 0, 0, client.right,
                                                                  client.bottom, 0);
}

bool CShadow::ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                   LRESULT& result) {
  switch (message) {
    case WM_CREATE:
      MessageLoop().AddMessageFilter(this);
      break;
    case WM_DESTROY:
      MessageLoop().RemoveMessageFilter(this);
      break;
    case WM_MOUSEACTIVATE:
      result = MA_NOACTIVATE;
      return true;
    case WM_CLOSE:
      // Closing is the shadowed window's to decide (it refuses while an
      // install runs): the shadow never ends the interface's loop itself.
      if (owner_ && ::IsWindow(owner_)) ::PostMessageW(owner_, WM_CLOSE, 0, 0);
      result = 0;
      return true;
    case WM_WINDOWPOSCHANGED: {
      const WINDOWPOS* pos = reinterpret_cast<const WINDOWPOS*>(lParam);
      RECT rect;
      ::GetWindowRect(window, &rect);
      if (pos && rect.right > rect.left && rect.bottom > rect.top) UpdateLayered(nullptr);
      result = 0;
      return true;  // no WM_SIZE/WM_MOVE needed: the picture is all there is
    }
    case WM_PAINT: {
      // A layered window that is pushed with UpdateLayeredWindow is never
      // painted through its DC; only the update region is cleared.
      ::ValidateRect(window, nullptr);
      result = 0;
      return true;
    }
    case WM_NCDESTROY:
      target_ = nullptr;
      ReleasePicture();
      break;
    default:
      break;
  }
  LRESULT skin = 0;
  if (ProcessSkinMessage(window, message, wParam, lParam, &skin)) {
    result = skin;
    return true;
  }
  return false;
}

}  // namespace lum
