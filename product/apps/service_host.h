// What the stand-in's service programs share: running as a service of the
// service manager until a stop control, and closing service-manager handles.
#pragma once
#include <windows.h>

namespace lum {
namespace product {

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

// The service's work: called once the service reports running, with the
// start arguments (argv[0] is the service name) and an event that is set by
// the stop control. The service reports stopped when it returns.
using ServiceBody = void (*)(DWORD argc, wchar_t** argv, HANDLE stop);

// Connects to the service manager as the service `name` and runs `body`.
// 0, or the system error when the program was not started as a service.
int RunAsService(const wchar_t* name, ServiceBody body, DWORD stopWaitHintMs);

}  // namespace product
}  // namespace lum
