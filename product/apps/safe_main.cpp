// ZVSafeMain.exe: the product's main program. The installer starts it with
// "/install" after a successful install and later ends it by name; the stand-in
// shows its main window until it is closed and does nothing else.
#include <windows.h>
#include <shellapi.h>

#include <cwchar>

#include "window_loop.h"

namespace {

bool g_afterInstall = false;

bool PaintStatus(HWND wnd, UINT msg, WPARAM, LPARAM, LRESULT* result) {
  if (msg != WM_PAINT) return false;
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(wnd, &ps);
  RECT area;
  GetClientRect(wnd, &area);
  const wchar_t* text = g_afterInstall ? L"Lum Bastion has been installed and is protecting you."
                                       : L"Lum Bastion is protecting you.";
  DrawTextW(dc, text, -1, &area, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  EndPaint(wnd, &ps);
  *result = 0;
  return true;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  for (int i = 1; argv != nullptr && i < argc; ++i) {
    if (_wcsicmp(argv[i], L"/install") == 0) g_afterInstall = true;
  }
  LocalFree(argv);
  const lum::product::WindowDesc desc = {L"ZLumSafeMainClass", L"Lum Bastion", true, PaintStatus};
  return lum::product::RunWindow(instance, desc);
}
