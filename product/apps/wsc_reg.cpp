// safemon\WscReg.exe: the registrar and program of the protected service
// "ZVProtected".
//
//   WscReg.exe /installsrv     tells the service manager of the service key
//                              the installer wrote (handshake.h) and asks a
//                              running instance to stop, so the next start
//                              runs the new registration. 0 or the system error
//   WscReg.exe /uninstallsrv   stops and deletes the service. 0 or the error
//   (no switch)                runs as that service until stopped. Started
//                              with "install", it signals the installer's
//                              finish event (after "ProtectedServiceFinishDelayMs"
//                              when a test sets that switch, handshake.h);
//                              while it runs it holds the stop event,
//                              signalled when it stops.
#include <windows.h>
#include <shellapi.h>

#include <cwchar>

#include "handshake.h"
#include "service_host.h"

namespace {

using lum::product::RecordCall;
constexpr wchar_t kServiceName[] = L"ZVProtected";
// A stopping instance finishes its work before it goes; the installer's
// second start waits for the stop event meanwhile.
constexpr DWORD kStopWorkMs = 500;

void ProtectedService(DWORD argc, wchar_t** argv, HANDLE stop) {
  const wchar_t* argument = argc > 1 ? argv[1] : nullptr;
  RecordCall(L"safemon\\WscReg.exe!service", argument);
  HANDLE stopped = lum::product::CreateSharedEvent(lum::product::kProtectedStoppedEvent, true);
  if (stopped == nullptr) return;
  if (argument != nullptr && _wcsicmp(argument, L"install") == 0) {
    HANDLE finished =
        lum::product::OpenSharedEvent(lum::product::kProtectedFinishedEvent, EVENT_MODIFY_STATE);
    if (finished != nullptr) {
      const DWORD delay = lum::product::StandInSwitch(L"ProtectedServiceFinishDelayMs", 0);
      if (delay != 0) Sleep(delay);
      SetEvent(finished);
      CloseHandle(finished);
    }
  }
  WaitForSingleObject(stop, INFINITE);
  Sleep(kStopWorkMs);
  SetEvent(stopped);
  CloseHandle(stopped);
}

using lum::product::ScHandle;

int InstallService() {
  const DWORD registered = lum::product::RegisterServiceFromKey(kServiceName);
  if (registered != 0) return static_cast<int>(registered);
  ScHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
  ScHandle service(manager.get() != nullptr
                       ? OpenServiceW(manager.get(), kServiceName, SERVICE_STOP | SERVICE_QUERY_STATUS)
                       : nullptr);
  SERVICE_STATUS status = {};
  if (service.get() != nullptr && QueryServiceStatus(service.get(), &status) &&
      status.dwCurrentState == SERVICE_RUNNING)
    ControlService(service.get(), SERVICE_CONTROL_STOP, &status);
  return 0;
}

int UninstallService() {
  ScHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
  if (manager.get() == nullptr) return static_cast<int>(GetLastError());
  ScHandle service(OpenServiceW(manager.get(), kServiceName, SERVICE_STOP | DELETE));
  if (service.get() == nullptr) return static_cast<int>(GetLastError());
  SERVICE_STATUS status = {};
  ControlService(service.get(), SERVICE_CONTROL_STOP, &status);
  return DeleteService(service.get()) ? 0 : static_cast<int>(GetLastError());
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  const wchar_t* mode = argv != nullptr && argc > 1 ? argv[1] : L"";
  const bool install = _wcsicmp(mode, L"/installsrv") == 0;
  const bool uninstall = _wcsicmp(mode, L"/uninstallsrv") == 0;
  LocalFree(argv);
  if (install) {
    RecordCall(L"safemon\\WscReg.exe!/installsrv", nullptr);
    return InstallService();
  }
  if (uninstall) {
    RecordCall(L"safemon\\WscReg.exe!/uninstallsrv", nullptr);
    return UninstallService();
  }
  return lum::product::RunAsService(kServiceName, &ProtectedService, 2 * kStopWorkMs);
}
