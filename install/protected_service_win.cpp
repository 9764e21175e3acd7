#include "install/protected_service_win.h"

#include <windows.h>

#include "base/install_log.h"
#include "base/prescribed_wait.h"
#include "install/trusted_launch_win.h"
#include "system/file_ops_win.h"
#include "system/named_object_rights_win.h"
#include "system/product_handshake_win.h"
#include "system/service_control_win.h"
#include "system/service_record_win.h"
#include "system/win_handle_win.h"

namespace lum {
namespace {

constexpr const char* kLog = "protected-service";
constexpr const wchar_t* kServiceName = L"ZVProtected";
// Lets a stopped instance leave the service manager's books before the start.
constexpr DWORD kAfterStopMs = 200;

void WaitFinished(HANDLE finished) {
  if (!finished) return;
  PrescribedWait wait(kLog, L"protected service finish event");
  const DWORD waited = ::WaitForSingleObject(finished, kProtectedFinishWaitMs);
  log::Action(kLog, L"wait for the install finish event", kServiceName,
              waited == WAIT_OBJECT_0 ? 0 : static_cast<long>(waited));
}

// The event may exist already, left signalled by an earlier start (or made
// by another program): CreateEvent then opens it as it is, and a signalled
// event would end the wait before this start has done anything.
void ClearFinishEvent(HANDLE finished, bool existed) {
  if (!finished) return;
  const bool reset = ::ResetEvent(finished) != FALSE;
  if (existed || !reset)
    log::Action(kLog, L"reset the install finish event", kProtectedServiceFinishedEvent,
                reset ? 0 : static_cast<long>(::GetLastError()));
}

}  // namespace

bool InstallProtectedService(const std::wstring& installDir) {
  ClearServiceMarks(kServiceName);
  WriteServiceRecord(ProtectedServiceRecord(installDir));
  const std::wstring registrar = WithTrailingSlash(installDir) + L"safemon\\WscReg.exe";
  {
    PrescribedWait wait(kLog, L"WscReg.exe /installsrv");
    if (!RunTrusted(registrar, L"/installsrv", kRegistrarWaitMs)) return false;
  }

  UniqueScHandle manager(::OpenSCManagerW(nullptr, nullptr, GENERIC_EXECUTE));
  if (!manager) {
    log::Action(kLog, L"open service manager", kServiceName, static_cast<long>(::GetLastError()));
    return false;
  }
  UniqueScHandle service(::OpenServiceW(
      manager.Get(), kServiceName,
      SERVICE_START | SERVICE_QUERY_STATUS | SERVICE_CHANGE_CONFIG | GENERIC_EXECUTE));
  if (!service) {
    log::Action(kLog, L"open service", kServiceName, static_cast<long>(::GetLastError()));
    return false;
  }
  // Made with rights for SYSTEM and the Administrators only; one that someone
  // else made first is refused (it could end the wait before the service has
  // done anything), and the start goes on without a wait.
  bool existed = false;
  UniqueHandle finished(
      CreateSharedEvent(kProtectedServiceFinishedEvent, true, &existed, kLog));
  ClearFinishEvent(finished.Get(), existed);
  DWORD error = StartServiceWithArgument(service.Get(), L"install");
  log::Action(kLog, L"start service with \"install\"", kServiceName, static_cast<long>(error));
  if (error == ERROR_SERVICE_ALREADY_RUNNING) {
    UniqueHandle stopped(OpenSharedObject(SharedObjectKind::kEvent, kProtectedServiceStoppedEvent,
                                          SYNCHRONIZE, kLog));
    if (stopped) {
      PrescribedWait wait(kLog, L"running protected service to stop");
      const DWORD waited = ::WaitForSingleObject(stopped.Get(), kProtectedStopWaitMs);
      log::Action(kLog, L"wait for the running instance to stop", kServiceName,
                  waited == WAIT_OBJECT_0 ? 0 : static_cast<long>(waited));
      ::Sleep(kAfterStopMs);
    }
    // Only the answer to this start may end the wait.
    ClearFinishEvent(finished.Get(), false);
    error = StartServiceWithArgument(service.Get(), L"install");
    log::Action(kLog, L"start service with \"install\" again", kServiceName,
                static_cast<long>(error));
  }
  if (error != 0) return false;
  WaitFinished(finished.Get());
  return true;
}

}  // namespace lum
