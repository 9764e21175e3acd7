// safemon\ZVActiveDefense.exe: the active-defense program.
//
//   ZVActiveDefense.exe /install   finish the registration: the installer has
//                                  written the service key "ZVActiveDefense";
//                                  the service manager reads keys only when it
//                                  starts, so it is told of the service here.
//                                  0, or the system error
//   ZVActiveDefense.exe /run       runs by hand until its hidden window is
//                                  closed (or WM_QUIT)
//   (no switch)                    runs as that service until stopped; the
//                                  service manager starts it this way (the
//                                  installer's start passes "install")
//
// While it runs it holds the readiness mutex that the installer opens to see
// that active defense is up (not with the stand-in switch
// "ActiveDefenseWithoutReadiness", handshake.h).
#include <windows.h>
#include <shellapi.h>

#include <cwchar>

#include "handshake.h"
#include "service_host.h"
#include "window_loop.h"

namespace {

using lum::product::RecordCall;
constexpr wchar_t kServiceName[] = L"ZVActiveDefense";

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

 private:
  HANDLE h_;
};

void ActiveDefense(DWORD argc, wchar_t** argv, HANDLE stop) {
  RecordCall(L"safemon\\ZVActiveDefense.exe!service", argc > 1 ? argv[1] : nullptr);
  if (lum::product::StandInSwitch(L"ActiveDefenseWithoutReadiness", 0) != 0) {
    WaitForSingleObject(stop, INFINITE);
    return;
  }
  Handle ready(lum::product::CreateSharedMutex(lum::product::kReadyMutex));
  if (ready.get() == nullptr) return;
  WaitForSingleObject(stop, INFINITE);
  // Readiness ends before the service manager hears that the service stopped.
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  const wchar_t* mode = argv != nullptr && argc > 1 ? argv[1] : L"";
  const bool install = _wcsicmp(mode, L"/install") == 0;
  const bool byHand = _wcsicmp(mode, L"/run") == 0;
  LocalFree(argv);
  if (install) {
    RecordCall(L"safemon\\ZVActiveDefense.exe!/install", nullptr);
    return static_cast<int>(lum::product::RegisterServiceFromKey(kServiceName));
  }

  if (!byHand) return lum::product::RunAsService(kServiceName, &ActiveDefense, 0);

  Handle ready(lum::product::CreateSharedMutex(lum::product::kReadyMutex));
  if (ready.get() == nullptr) return 1;
  const lum::product::WindowDesc desc = {L"ZLumActiveDefenseClass", L"Lum Bastion active defense",
                                         false, nullptr};
  return lum::product::RunWindow(instance, desc);
}
