// safemon\ZVSafeTray.exe: the tray program, started at log-on with "/start".
// The stand-in keeps a hidden window of the monitor class, so that the
// installer's after-install notification finds its peer, and runs until it is
// closed or ended by name.
#include <windows.h>

#include "window_loop.h"

namespace {

// The installer's notification (wParam 206) after an install; the monitor
// acknowledges it and has nothing else to do.
constexpr UINT kMonitorNotify = 0x416;
constexpr WPARAM kInstallDone = 206;

bool OnMonitorMessage(HWND, UINT msg, WPARAM wp, LPARAM, LRESULT* result) {
  if (msg != kMonitorNotify) return false;
  *result = wp == kInstallDone ? 1 : 0;
  return true;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  const lum::product::WindowDesc desc = {L"ZLumSafeMonClass", L"Lum Bastion tray", false,
                                         OnMonitorMessage};
  return lum::product::RunWindow(instance, desc);
}
