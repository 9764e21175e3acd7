// Routes a window's messages to the C++ object passed as its creation
// parameter (CreateWindowEx's last argument), so that each window class
// needs no table of its own. T provides:
//   bool ProcessWindowMessage(HWND, UINT, WPARAM, LPARAM, LRESULT&);
//   void OnWindowBound(HWND);    // at WM_NCCREATE, before anything else
//   void OnWindowUnbound(HWND);  // after WM_NCDESTROY was processed
// Unhandled messages go to DefWindowProcW.
#pragma once
#include <windows.h>

namespace lum {

template <class T>
LRESULT RouteToWindowObject(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  T* self;
  if (message == WM_NCCREATE) {
    self = static_cast<T*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    if (self) self->OnWindowBound(window);
  } else {
    self = reinterpret_cast<T*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  }
  if (!self) return ::DefWindowProcW(window, message, wParam, lParam);
  LRESULT result = 0;
  const bool handled = self->ProcessWindowMessage(window, message, wParam, lParam, result);
  if (message == WM_NCDESTROY) {
    ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    self->OnWindowUnbound(window);
  }
  return handled ? result : ::DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace lum
