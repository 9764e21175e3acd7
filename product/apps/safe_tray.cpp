// safemon\ZVSafeTray.exe: the tray program, started at log-on with "/start".
// The stand-in keeps a hidden window of the monitor class, so that the
// installer's after-install notification finds its peer, and runs until it is
// closed, ended by name, or told to exit with the copy-data code 'EXIT' that
// the tray service forwards from an installer.
#include <windows.h>

#include "window_loop.h"

namespace {

// The installer's notification (wParam 206) after an install; the monitor
// acknowledges it and has nothing else to do.
constexpr UINT kMonitorNotify = 0x416;
constexpr WPARAM kInstallDone = 206;
constexpr ULONG_PTR kExitCode = 0x45584954;  // 'EXIT'

bool OnMonitorMessage(HWND wnd, UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
  if (msg == WM_COPYDATA) {
    const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lp);
    if (data == nullptr || data->dwData != kExitCode) return false;
    *result = 1;
    PostMessageW(wnd, WM_CLOSE, 0, 0);
    return true;
  }
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
