// safemon\ZVActiveDefense.exe: the active-defense program.
//
//   ZVActiveDefense.exe /install   finish the registration: answers 0 when the
//                                  service "ZVActiveDefense" is registered,
//                                  else the system error of looking it up
//   ZVActiveDefense.exe /run       runs by hand until its hidden window is
//                                  closed (or WM_QUIT)
//   (no switch)                    runs as that service until stopped; the
//                                  service manager starts it this way
//
// While it runs it holds the readiness mutex that the installer opens to see
// that active defense is up.
#include <windows.h>
#include <shellapi.h>

#include <cwchar>

#include "window_loop.h"

namespace {

constexpr wchar_t kServiceName[] = L"ZVActiveDefense";
constexpr wchar_t kReadyMutex[] = L"Global\\080F7E03-AC50-4949-AACA-E79F82D3099F__";

// Closes a kernel handle when it leaves scope.
class Handle {
 public:
  explicit Handle(HANDLE h) : h_(h) {}
  ~Handle() {
    if (h_ != nullptr) CloseHandle(h_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  HANDLE get() const { return h_; }
  HANDLE release() {
    HANDLE h = h_;
    h_ = nullptr;
    return h;
  }

 private:
  HANDLE h_;
};

// Closes a service-manager handle when it leaves scope.
class ScHandle {
 public:
  explicit ScHandle(SC_HANDLE h) : h_(h) {}
  ~ScHandle() {
    if (h_ != nullptr) CloseServiceHandle(h_);
  }
  ScHandle(const ScHandle&) = delete;
  ScHandle& operator=(const ScHandle&) = delete;
  SC_HANDLE get() const { return h_; }

 private:
  SC_HANDLE h_;
};

int CheckRegistration() {
  ScHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
  if (manager.get() == nullptr) return static_cast<int>(GetLastError());
  ScHandle service(OpenServiceW(manager.get(), kServiceName, SERVICE_QUERY_CONFIG));
  return service.get() == nullptr ? static_cast<int>(GetLastError()) : 0;
}

SERVICE_STATUS_HANDLE g_status = nullptr;
HANDLE g_stop = nullptr;

void Report(DWORD state) {
  SERVICE_STATUS status = {};
  status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
  status.dwCurrentState = state;
  status.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN : 0;
  SetServiceStatus(g_status, &status);
}

DWORD WINAPI OnControl(DWORD control, DWORD, void*, void*) {
  if (control == SERVICE_CONTROL_STOP || control == SERVICE_CONTROL_SHUTDOWN) {
    Report(SERVICE_STOP_PENDING);
    SetEvent(g_stop);
  }
  return NO_ERROR;
}

void WINAPI ServiceMain(DWORD, wchar_t**) {
  g_status = RegisterServiceCtrlHandlerExW(kServiceName, OnControl, nullptr);
  if (g_status == nullptr) return;
  Handle stop(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  g_stop = stop.get();
  Handle ready(CreateMutexW(nullptr, FALSE, kReadyMutex));
  if (stop.get() == nullptr || ready.get() == nullptr) {
    Report(SERVICE_STOPPED);
    return;
  }
  Report(SERVICE_RUNNING);
  WaitForSingleObject(stop.get(), INFINITE);
  // Readiness ends before the service manager hears that the service stopped.
  CloseHandle(ready.release());
  Report(SERVICE_STOPPED);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  const wchar_t* mode = argv != nullptr && argc > 1 ? argv[1] : L"";
  const bool install = _wcsicmp(mode, L"/install") == 0;
  const bool byHand = _wcsicmp(mode, L"/run") == 0;
  LocalFree(argv);
  if (install) return CheckRegistration();

  if (!byHand) {
    SERVICE_TABLE_ENTRYW table[] = {{const_cast<wchar_t*>(kServiceName), ServiceMain},
                                    {nullptr, nullptr}};
    return StartServiceCtrlDispatcherW(table) ? 0 : static_cast<int>(GetLastError());
  }

  Handle ready(CreateMutexW(nullptr, FALSE, kReadyMutex));
  if (ready.get() == nullptr) return 1;
  const lum::product::WindowDesc desc = {L"ZLumActiveDefenseClass", L"Lum Bastion active defense",
                                         false, nullptr};
  return lum::product::RunWindow(instance, desc);
}
