// One installer at a time: the instance mutex is taken before anything is
// installed; a second start brings the running installer's window forward.
#include <windows.h>

#include "app/startup_win.h"
#include "base/exit_codes.h"
#include "base/install_log.h"

namespace lum {

namespace {

// Foreground rules only let the foreground thread hand over activation, so
// join its input queue for the duration of the call.
bool ActivateFromForegroundThread(HWND window) {
  HWND foreground = ::GetForegroundWindow();
  const DWORD ownThread = ::GetCurrentThreadId();
  const DWORD foregroundThread = foreground ? ::GetWindowThreadProcessId(foreground, nullptr) : 0;
  const bool attach = foregroundThread != 0 && foregroundThread != ownThread &&
                      ::AttachThreadInput(ownThread, foregroundThread, TRUE);
  bool done = ::SetForegroundWindow(window) != FALSE;
  if (attach) {
    if (!::SetActiveWindow(window)) {
      ::Sleep(10);
      if (!::SetActiveWindow(window)) ::SetFocus(window);
    }
    ::AttachThreadInput(ownThread, foregroundThread, FALSE);
  }
  return done || ::GetForegroundWindow() == window;
}

// A synthetic Alt press counts as user input, after which Windows lets this
// process set the foreground window.
bool ActivateWithAltPress(HWND window) {
  if (::GetAsyncKeyState(VK_MENU) & 0x8000) return false;
  ::keybd_event(VK_MENU, 0, KEYEVENTF_EXTENDEDKEY, 0);
  const bool done = ::SetForegroundWindow(window) != FALSE;
  ::keybd_event(VK_MENU, 0, KEYEVENTF_EXTENDEDKEY | KEYEVENTF_KEYUP, 0);
  return done;
}

}  // namespace

bool BringRunningInstanceForward() {
  HWND window = ::FindWindowW(kInstallerWindowClass, nullptr);
  if (!window) return false;
  if (::IsIconic(window)) ::ShowWindow(window, SW_RESTORE);
  ::AllowSetForegroundWindow(::GetCurrentProcessId());
  return ActivateFromForegroundThread(window) || ActivateWithAltPress(window);
}

int AcquireSingleInstance(bool silent, UniqueHandle* mutex, const wchar_t* mutexName) {
  mutex->Reset(::CreateMutexW(nullptr, TRUE, mutexName));
  const DWORD error = ::GetLastError();
  if (mutex->Valid() && error != ERROR_ALREADY_EXISTS) {
    log::Action("startup", L"take instance mutex", mutexName, 0);
    return kExitInstalled;
  }
  mutex->Reset();
  log::Action("startup", L"another installer holds the instance mutex", mutexName,
              kExitOtherInstance);
  if (!silent) {
    const bool forward = BringRunningInstanceForward();
    log::Note("startup", forward ? L"running installer brought to the front"
                                 : L"running installer's window not found");
  }
  return kExitOtherInstance;
}

}  // namespace lum
