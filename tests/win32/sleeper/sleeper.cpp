// Stand-in for a product program in the process-termination tests: it only
// waits (the number of milliseconds given, two minutes by default) so a test
// can end it, or see that it was spared.
//
// With "--hung-service" it runs as a service that accepts the stop control,
// says it is stopping, and never stops: the service-removal tests need one.
#include <windows.h>

#include <cwchar>

namespace {

SERVICE_STATUS_HANDLE g_status = nullptr;

void Report(DWORD state) {
  SERVICE_STATUS status = {};
  status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
  status.dwCurrentState = state;
  status.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP : 0;
  status.dwWaitHint = 1000;
  SetServiceStatus(g_status, &status);
}

DWORD WINAPI OnControl(DWORD control, DWORD, void*, void*) {
  if (control == SERVICE_CONTROL_STOP) Report(SERVICE_STOP_PENDING);
  return NO_ERROR;
}

void WINAPI ServiceMain(DWORD, wchar_t** argv) {
  g_status = RegisterServiceCtrlHandlerExW(argv[0], OnControl, nullptr);
  if (g_status == nullptr) return;
  Report(SERVICE_RUNNING);
  Sleep(INFINITE);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc > 1 && std::wcscmp(argv[1], L"--hung-service") == 0) {
    SERVICE_TABLE_ENTRYW table[] = {{const_cast<wchar_t*>(L""), ServiceMain}, {nullptr, nullptr}};
    return StartServiceCtrlDispatcherW(table) ? 0 : 1;
  }
  const DWORD ms = argc > 1 ? static_cast<DWORD>(std::wcstoul(argv[1], nullptr, 10)) : 120000;
  Sleep(ms);
  return 0;
}
