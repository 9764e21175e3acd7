#include "window_loop.h"

namespace lum {
namespace product {
namespace {

ExtraHandler g_extra = nullptr;

LRESULT CALLBACK WindowProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  LRESULT result = 0;
  if (g_extra != nullptr && g_extra(wnd, msg, wp, lp, &result)) return result;
  switch (msg) {
    case WM_CLOSE:
      DestroyWindow(wnd);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(wnd, msg, wp, lp);
  }
}

}  // namespace

int RunWindow(HINSTANCE instance, const WindowDesc& desc) {
  g_extra = desc.extra;
  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = desc.className;
  if (RegisterClassExW(&wc) == 0) return 1;
  const DWORD style = desc.visible ? WS_OVERLAPPEDWINDOW : WS_POPUP;
  HWND wnd = CreateWindowExW(0, desc.className, desc.title, style, CW_USEDEFAULT, CW_USEDEFAULT,
                             480, 240, nullptr, nullptr, instance, nullptr);
  if (wnd == nullptr) return 1;
  if (desc.visible) {
    ShowWindow(wnd, SW_SHOWNORMAL);
    UpdateWindow(wnd);
  }
  MSG msg;
  // GetMessage answers 0 for WM_QUIT (posted by WM_DESTROY or by anyone) and
  // -1 on failure; both end the program.
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  if (IsWindow(wnd)) DestroyWindow(wnd);
  return 0;
}

}  // namespace product
}  // namespace lum
