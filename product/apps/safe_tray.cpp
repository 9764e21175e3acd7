// safemon\ZVSafeTray.exe: the tray program, started at log-on with "/start".
// The stand-in keeps a hidden window of the monitor class, so that the
// installer's after-install notification finds its peer, and runs until it is
// closed, ended by name, or told to exit with the copy-data code 'EXIT' that
// the tray service forwards from an installer.
#include <windows.h>

#include "window_loop.h"

namespace {

// The installer's notification (wParam 206) after an install that found
// another product's file monitor, carrying the installer's identification
// ("LUMI"); the monitor acknowledges only that, and records each
// notification in "<program>.calls" beside itself for the tests.
constexpr UINT kMonitorNotify = 0x416;
constexpr WPARAM kInstallDone = 206;
constexpr LPARAM kInstallerIdentification = 0x4C554D49;  // 'LUMI'
constexpr ULONG_PTR kExitCode = 0x45584954;              // 'EXIT'

void Record(WPARAM wp, LPARAM lp) {
  wchar_t path[MAX_PATH + 8] = {};
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  if (length < 4 || length >= MAX_PATH) return;
  lstrcpyW(path + length - 4, L".calls");
  HANDLE file = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  char line[64];
  const int n = wsprintfA(line, "notify %u %08lX\r\n", static_cast<unsigned>(wp),
                          static_cast<unsigned long>(lp));
  DWORD written = 0;
  WriteFile(file, line, static_cast<DWORD>(n), &written, nullptr);
  CloseHandle(file);
}

bool OnMonitorMessage(HWND wnd, UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
  if (msg == WM_COPYDATA) {
    const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lp);
    if (data == nullptr || data->dwData != kExitCode) return false;
    *result = 1;
    PostMessageW(wnd, WM_CLOSE, 0, 0);
    return true;
  }
  if (msg != kMonitorNotify) return false;
  Record(wp, lp);
  *result = wp == kInstallDone && lp == kInstallerIdentification ? 1 : 0;
  return true;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  const lum::product::WindowDesc desc = {L"ZLumSafeMonClass", L"Lum Bastion tray", false,
                                         OnMonitorMessage};
  return lum::product::RunWindow(instance, desc);
}
