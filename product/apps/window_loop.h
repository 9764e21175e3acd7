// The one window and message loop that the product's resident programs share:
// a top-level window of a fixed class that lives until it is closed
// (WM_CLOSE from another process, WM_QUIT, or the user).
#pragma once
#include <windows.h>

namespace lum {
namespace product {

// Extra message handling of one program; return true when handled.
using ExtraHandler = bool (*)(HWND, UINT, WPARAM, LPARAM, LRESULT*);

struct WindowDesc {
  const wchar_t* className;
  const wchar_t* title;
  bool visible;
  ExtraHandler extra;  // may be null
};

// Registers the class, creates the window and pumps messages until the window
// is destroyed or WM_QUIT arrives. Returns the process exit code: 0 on a clean
// close, 1 when the window could not be created.
int RunWindow(HINSTANCE instance, const WindowDesc& desc);

}  // namespace product
}  // namespace lum
