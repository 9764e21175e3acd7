// safemon\ZVWatchdog.exe: the product's watchdog. The installer starts it
// with "/install" when active defense did not come up; the watchdog then
// starts the "ZVActiveDefense" service itself (with "install"). Exit 0 when
// the start was accepted (or it already runs), else the system error; any
// other switch exits 1.
#include <windows.h>
#include <shellapi.h>

#include <cwchar>

#include "handshake.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  const bool install = argv != nullptr && argc == 2 && _wcsicmp(argv[1], L"/install") == 0;
  LocalFree(argv);
  if (!install) return 1;
  lum::product::RecordCall(L"safemon\\ZVWatchdog.exe!/install", nullptr);
  SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
  if (manager == nullptr) return static_cast<int>(GetLastError());
  SC_HANDLE service = OpenServiceW(manager, L"ZVActiveDefense", SERVICE_START);
  DWORD result = service != nullptr ? 0 : GetLastError();
  if (service != nullptr) {
    const wchar_t* arguments[1] = {L"install"};
    if (!StartServiceW(service, 1, arguments) && GetLastError() != ERROR_SERVICE_ALREADY_RUNNING)
      result = GetLastError();
    CloseServiceHandle(service);
  }
  CloseServiceHandle(manager);
  return static_cast<int>(result);
}
