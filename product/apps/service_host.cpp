#include "service_host.h"

namespace lum {
namespace product {
namespace {

const wchar_t* g_name = nullptr;
ServiceBody g_body = nullptr;
DWORD g_waitHint = 0;
SERVICE_STATUS_HANDLE g_status = nullptr;
HANDLE g_stop = nullptr;

void Report(DWORD state) {
  SERVICE_STATUS status = {};
  status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
  status.dwCurrentState = state;
  status.dwControlsAccepted =
      state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN : 0;
  status.dwWaitHint = state == SERVICE_STOP_PENDING ? g_waitHint : 0;
  SetServiceStatus(g_status, &status);
}

DWORD WINAPI OnControl(DWORD control, DWORD, void*, void*) {
  if (control == SERVICE_CONTROL_STOP || control == SERVICE_CONTROL_SHUTDOWN) {
    Report(SERVICE_STOP_PENDING);
    SetEvent(g_stop);
  }
  return NO_ERROR;
}

void WINAPI ServiceMain(DWORD argc, wchar_t** argv) {
  g_status = RegisterServiceCtrlHandlerExW(g_name, OnControl, nullptr);
  if (g_status == nullptr) return;
  g_stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (g_stop == nullptr) {
    Report(SERVICE_STOPPED);
    return;
  }
  Report(SERVICE_RUNNING);
  g_body(argc, argv, g_stop);
  Report(SERVICE_STOPPED);
}

}  // namespace

int RunAsService(const wchar_t* name, ServiceBody body, DWORD stopWaitHintMs) {
  g_name = name;
  g_body = body;
  g_waitHint = stopWaitHintMs;
  SERVICE_TABLE_ENTRYW table[] = {{const_cast<wchar_t*>(name), ServiceMain}, {nullptr, nullptr}};
  return StartServiceCtrlDispatcherW(table) ? 0 : static_cast<int>(GetLastError());
}

}  // namespace product
}  // namespace lum
