// lum_interactive_driver <exchange folder> install|update — drives the real
// installer's window the way a person does: it looks at the screen (the
// script beside it answers each "<tag>.req" with a BMP of what the X server
// shows), moves the mouse and clicks with SendInput, and presses keys.
//
//   install  a double-click on a clean machine: welcome page, a second
//            double-click (105, the first window comes forward), Install,
//            the progress page (WM_CLOSE does nothing), the notice page
//            (Alt+F4 does nothing), Continue, exit code 0.
//   update   the installed product's installer again: the update page,
//            the acceptance box disables and enables Install, Close ends
//            with 0; then "/autodeploy" installs without a click.
//
// Prints one line per check; the exit code is the number of failed checks.
#include <windows.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "base/text.h"
#include "system/win_handle_win.h"
#include "tests/e2e/e2e_support.h"
#include "tests/wine/screen_pixels.h"

namespace lum {
namespace {

constexpr const wchar_t* kMainClass = L"ZLumInstallerClass";
constexpr const wchar_t* kNoticeClass = L"LumPolicyNoticeClass";
using namespace shots;
int failures = 0;
std::wstring exchange;
int dpi = 96;

int Scale(int n) { return MulDiv(n, dpi, 96); }

bool Check(bool ok, const std::wstring& what) {
  if (!ok) ++failures;
  std::printf("%s %s\n", ok ? "ok  " : "FAIL", WideToUtf8(what).c_str());
  std::fflush(stdout);
  return ok;
}

// Waits until `done` holds, looking every 100 ms, at most `ms`.
bool WaitFor(const std::function<bool()>& done, DWORD ms) {
  for (DWORD waited = 0;; waited += 100) {
    if (done()) return true;
    if (waited >= ms) return false;
    Sleep(100);
  }
}

// A picture of `window` as the screen shows it.
bool Look(HWND window, const std::wstring& tag, Pixels* p) {
  RECT r;
  if (!GetWindowRect(window, &r)) return false;
  Sleep(300);  // let the last paint reach the X server
  const std::string geometry = std::to_string(r.right - r.left) + "x" + std::to_string(r.bottom - r.top) +
                               "+" + std::to_string(r.left) + "+" + std::to_string(r.top) + "\n";
  const std::wstring bmp = exchange + L"\\" + tag + L".bmp";
  DeleteFileW(bmp.c_str());
  if (!WriteText(exchange + L"\\" + tag + L".req", geometry)) return false;
  return WaitFor([&] { return GetFileAttributesW(bmp.c_str()) != INVALID_FILE_ATTRIBUTES && LoadBmp(bmp, p); },
                 30000);
}

void MoveTo(int x, int y) {
  INPUT in = {};
  in.type = INPUT_MOUSE;
  in.mi.dx = MulDiv(x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
  in.mi.dy = MulDiv(y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
  in.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  SendInput(1, &in, sizeof(in));
}

// A click at a point of `window`'s client area, as a hand on the mouse does it.
void ClickAt(HWND window, int x, int y) {
  POINT p = {x, y};
  ClientToScreen(window, &p);
  MoveTo(p.x - 3, p.y - 2);
  Sleep(150);
  MoveTo(p.x, p.y);
  Sleep(150);
  INPUT in[2] = {};
  in[0].type = in[1].type = INPUT_MOUSE;
  in[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  in[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
  SendInput(1, &in[0], sizeof(INPUT));
  Sleep(120);
  SendInput(1, &in[1], sizeof(INPUT));
  Sleep(200);
}

void Key(WORD vk, bool up) {
  INPUT in = {};
  in.type = INPUT_KEYBOARD;
  in.ki.wVk = vk;
  in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
  SendInput(1, &in, sizeof(in));
  Sleep(50);
}

HWND VisibleWindow(const wchar_t* cls) {
  HWND w = FindWindowW(cls, nullptr);
  return w && IsWindowVisible(w) ? w : nullptr;
}

SIZE WindowSize(HWND w) {
  RECT r = {};
  GetWindowRect(w, &r);
  return {r.right - r.left, r.bottom - r.top};
}

// The vertical extent of the blue install button in the page's centre
// column, below the banner: the first blue run at least 20 pixels tall (blue
// link text is shorter); {-1, -1} when none is seen.
std::pair<int, int> FindInstallButton(const Pixels& shot) {
  const int x = shot.width / 2 - Scale(60);
  int top = -1;
  for (int y = Scale(276) + 2; y <= shot.height; ++y) {
    const bool blue = y < shot.height && Bluish(shot.At(x, y));
    if (blue && top < 0) top = y;
    if (!blue && top >= 0) {
      if (y - top >= Scale(20)) return {top, y - 1};
      top = -1;
    }
  }
  return {-1, -1};
}

struct Process {
  UniqueHandle handle;
  bool Start(const std::wstring& args) {
    std::wstring line = L"\"" + e2e::InstallerPath() + L"\" " + args;
    std::vector<wchar_t> buffer(line.begin(), line.end());
    buffer.push_back(0);
    STARTUPINFOW si = {sizeof(si)};
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
      return false;
    CloseHandle(pi.hThread);
    handle.Reset(pi.hProcess);
    return true;
  }
  // Keeps this thread's windows answering while it waits: the installer
  // joins the foreground window's input queue to come forward.
  int Wait(DWORD ms) {
    const DWORD start = GetTickCount();
    for (;;) {
      const DWORD spent = GetTickCount() - start;
      if (spent >= ms) return -1;
      HANDLE h = handle.Get();
      const DWORD got = MsgWaitForMultipleObjects(1, &h, FALSE, ms - spent, QS_ALLINPUT);
      if (got == WAIT_OBJECT_0) break;
      if (got != WAIT_OBJECT_0 + 1) return -1;
      MSG msg;
      while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    }
    DWORD code = 0;
    GetExitCodeProcess(handle.Get(), &code);
    return static_cast<int>(code);
  }
};

std::wstring LogText(const std::wstring& log) { return e2e::ReadText(log); }

bool LogHas(const std::wstring& log, const std::wstring& what, DWORD ms) {
  return WaitFor([&] { return LogText(log).find(what) != std::wstring::npos; }, ms);
}

// A window of this driver in front, so that "comes to the front" means something.
HWND MakeForegroundDecoy() {
  WNDCLASSW wc = {};
  wc.lpfnWndProc = DefWindowProcW;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"LumDriverDecoy";
  RegisterClassW(&wc);
  HWND w = CreateWindowExW(0, wc.lpszClassName, L"decoy", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                           200, 100, nullptr, nullptr, wc.hInstance, nullptr);
  SetForegroundWindow(w);
  return w;
}

void Pump() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
}

int FreshInstall() {
  const std::wstring log = L"C:\\lum_interactive.log";
  Process installer;
  if (!Check(installer.Start(L"/log:" + log), L"installer started")) return failures;
  HWND main = nullptr;
  Check(WaitFor([&] { return (main = VisibleWindow(kMainClass)) != nullptr; }, 120000),
        L"welcome page shown");
  if (!main) return failures;
  const SIZE size = WindowSize(main);
  Check(size.cx == Scale(552) && size.cy == Scale(450),
        L"welcome page " + std::to_wstring(size.cx) + L"x" + std::to_wstring(size.cy));

  // A second double-click while the window is open.
  HWND decoy = MakeForegroundDecoy();
  Pump();
  Check(GetForegroundWindow() == decoy, L"another window is in front before the second start");
  Process second;
  second.Start(L"");
  const int secondCode = second.Wait(120000);
  Check(secondCode == 105, L"second instance exits with " + std::to_wstring(secondCode));
  Check(WaitFor([&] { return GetForegroundWindow() == main; }, 5000),
        L"the first installer's window came to the front");
  DestroyWindow(decoy);

  Pixels page;
  Check(Look(main, L"e2e_welcome", &page), L"welcome page seen");
  const auto button = FindInstallButton(page);
  Check(button.first > Scale(276) && button.second - button.first + 1 >= Scale(28),
        L"install button seen at y " + std::to_wstring(button.first) + L".." +
            std::to_wstring(button.second));
  if (button.first < 0) return failures;
  ClickAt(main, page.width / 2, (button.first + button.second) / 2);

  Check(WaitFor([&] { return IsWindow(main) && WindowSize(main).cy == Scale(366); }, 60000),
        L"progress page after the click");
  // Closing the window while installing does nothing.
  DWORD_PTR answer = 0;
  SendMessageTimeoutW(main, WM_CLOSE, 0, 0, SMTO_NORMAL, 30000, &answer);
  Check(LogHas(log, L"close ignored while installing", 10000) && IsWindow(main),
        L"WM_CLOSE during the install ignored");

  HWND notice = nullptr;
  Check(WaitFor([&] { return (notice = VisibleWindow(kNoticeClass)) != nullptr; }, 600000),
        L"notice page shown");
  if (!notice) return failures;
  Check(!IsWindowVisible(main), L"main window hidden behind the notice page");
  const SIZE noticeSize = WindowSize(notice);
  Check(noticeSize.cx == Scale(552) && noticeSize.cy == Scale(450),
        L"notice page " + std::to_wstring(noticeSize.cx) + L"x" + std::to_wstring(noticeSize.cy));
  SetForegroundWindow(notice);
  Sleep(300);
  Key(VK_MENU, false);
  Key(VK_F4, false);
  Key(VK_F4, true);
  Key(VK_MENU, true);
  Check(LogHas(log, L"Alt+F4 on the notice page ignored", 10000) && IsWindowVisible(notice),
        L"Alt+F4 on the notice page ignored");

  Pixels shot;
  Check(Look(notice, L"e2e_notice", &shot), L"notice page seen");
  // Continue: the blue button centred at y = 360.
  int continueY = -1;
  for (int y = Scale(340); y < shot.height && continueY < 0; ++y)
    if (Bluish(shot.At(shot.width / 2 - Scale(60), y))) continueY = y;
  Check(continueY >= Scale(358) && continueY <= Scale(362),
        L"Continue button at y " + std::to_wstring(continueY));
  ClickAt(notice, shot.width / 2, Scale(376));
  const int code = installer.Wait(300000);
  Check(code == 0, L"installer exits with " + std::to_wstring(code));
  // The page changed only after the worker's run had really ended.
  const std::wstring text = LogText(log);
  const size_t finished = text.find(L"install run finished"), end = text.find(L"end of install");
  Check(finished != std::wstring::npos && end != std::wstring::npos && finished < end,
        L"the end of the install was taken after the worker's run finished");
  return failures;
}

int Update() {
  const std::wstring log = L"C:\\lum_update.log";
  Process installer;
  if (!Check(installer.Start(L"/log:" + log), L"installer started again")) return failures;
  HWND main = nullptr;
  Check(WaitFor([&] { return (main = VisibleWindow(kMainClass)) != nullptr; }, 120000),
        L"update page shown");
  if (!main) return failures;
  const SIZE size = WindowSize(main);
  Check(size.cx == Scale(552) && size.cy == Scale(450),
        L"update page " + std::to_wstring(size.cx) + L"x" + std::to_wstring(size.cy));
  Pixels before;
  Check(Look(main, L"e2e_update", &before), L"update page seen");
  const auto button = FindInstallButton(before);
  Check(button.first == Scale(316), L"update button at y " + std::to_wstring(button.first));
  // The acceptance row sits 18 below the button: its box is its left end.
  int boxX = -1;
  const int rowY = button.second + 1 + Scale(18) + Scale(10);
  for (int x = 0; x < before.width && boxX < 0; ++x)
    if (Bluish(before.At(x, rowY))) boxX = x;
  Check(boxX > 0, L"acceptance box seen at x " + std::to_wstring(boxX));
  if (boxX < 0 || button.first < 0) return failures;
  ClickAt(main, boxX + Scale(8), rowY);
  Pixels unchecked;
  Look(main, L"e2e_update_unchecked", &unchecked);
  const int probeY = (button.first + button.second) / 2;
  Check(!Bluish(unchecked.At(unchecked.width / 2 - Scale(60), probeY)),
        L"install button greyed with the box unchecked");
  // A click on the disabled button starts nothing.
  ClickAt(main, unchecked.width / 2, probeY);
  Sleep(500);
  Check(WindowSize(main).cy == Scale(450) && LogText(log).find(L"install started") == std::wstring::npos,
        L"disabled install button starts nothing");
  ClickAt(main, boxX + Scale(8), rowY);
  Pixels checked;
  Look(main, L"e2e_update_checked", &checked);
  Check(Bluish(checked.At(checked.width / 2 - Scale(60), probeY)),
        L"install button enabled again with the box checked");
  // Close: the button at the top-right corner.
  ClickAt(main, checked.width - Scale(18), Scale(18));
  const int code = installer.Wait(60000);
  Check(code == 0, L"closed update page exits with " + std::to_wstring(code));
  Check(LogText(log).find(L"install started") == std::wstring::npos, L"nothing installed by closing");

  // Automatic deployment: the install runs without a click.
  const std::wstring autoLog = L"C:\\lum_auto.log";
  Process automatic;
  automatic.Start(L"/autodeploy /log:" + autoLog);
  const int autoCode = automatic.Wait(600000);
  Check(autoCode == 0, L"/autodeploy run exits with " + std::to_wstring(autoCode));
  Check(LogText(autoLog).find(L"install started") != std::wstring::npos,
        L"/autodeploy started the install without a click");
  return failures;
}

}  // namespace
}  // namespace lum

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: lum_interactive_driver <exchange folder> install|update\n");
    return 2;
  }
  SetProcessDPIAware();
  HDC screen = GetDC(nullptr);
  lum::dpi = GetDeviceCaps(screen, LOGPIXELSX);
  ReleaseDC(nullptr, screen);
  lum::exchange = argv[1];
  const std::wstring mode = argv[2];
  return mode == L"install" ? lum::FreshInstall() : lum::Update();
}
