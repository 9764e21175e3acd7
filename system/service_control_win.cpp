#include "system/service_control_win.h"

#include "base/install_log.h"
#include "system/registry_win.h"

namespace lum {
namespace {

constexpr const char* kLog = "service";

// Launch protection (configuration level 12); older SDK headers lack both.
constexpr DWORD kConfigLaunchProtected = 12;
constexpr DWORD kLaunchProtectedAntimalwareLight = 3;
struct LaunchProtectedInfo {
  DWORD dwLaunchProtected;
};

}  // namespace

std::wstring ServiceKeyPath(const std::wstring& name) {
  return L"SYSTEM\\CurrentControlSet\\Services\\" + name;
}

void StopAndDeleteService(const std::wstring& name, bool stopFirst) {
  UniqueScHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
  if (!manager) {
    log::Action(kLog, L"open service manager", name, static_cast<long>(GetLastError()));
    return;
  }
  UniqueScHandle service(
      OpenServiceW(manager.Get(), name.c_str(), SERVICE_STOP | SERVICE_QUERY_STATUS | DELETE));
  if (!service) {
    const DWORD error = GetLastError();
    if (error != ERROR_SERVICE_DOES_NOT_EXIST) log::Action(kLog, L"open service", name, error);
    return;
  }
  if (stopFirst) {
    SERVICE_STATUS status = {};
    if (ControlService(service.Get(), SERVICE_CONTROL_STOP, &status)) {
      log::Action(kLog, L"stop service", name, 0);
      Sleep(1000);
      DWORD waited = 1000;
      while (QueryServiceStatus(service.Get(), &status) &&
             status.dwCurrentState == SERVICE_STOP_PENDING) {
        if (waited >= kStopPendingLimitMs) {
          log::Action(kLog, L"service still stopping: deleting it anyway", name,
                      ERROR_SERVICE_REQUEST_TIMEOUT);
          break;
        }
        Sleep(1000);
        waited += 1000;
      }
    } else {
      log::Action(kLog, L"stop service", name, static_cast<long>(GetLastError()));
    }
  }
  const BOOL deleted = DeleteService(service.Get());
  log::Action(kLog, L"delete service", name, deleted ? 0 : static_cast<long>(GetLastError()));
}

bool MarkServiceForRemoval(const std::wstring& name) {
  RegKey key;
  if (!key.Open(HKEY_LOCAL_MACHINE, ServiceKeyPath(name), KEY_SET_VALUE | KEY_QUERY_VALUE)) {
    log::Action(kLog, L"mark for removal: no service key", name, key.LastError());
    return false;
  }
  key.DeleteValue(L"LaunchProtected");
  DWORD start = 0;
  if (!key.ReadDword(L"Start", &start)) {
    log::Action(kLog, L"mark for removal: no start type", name, 2);
    return false;
  }
  const bool ok = key.WriteDword(L"Start", SERVICE_DISABLED) && key.WriteDword(L"DeleteFlag", 1);
  log::Action(kLog, L"mark for removal at restart", name, ok ? 0 : 1);
  return ok;
}

bool IsServiceLaunchProtected(const std::wstring& name) {
  UniqueScHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
  if (!manager) return false;
  UniqueScHandle service(OpenServiceW(manager.Get(), name.c_str(), SERVICE_QUERY_CONFIG));
  if (!service) return false;
  LaunchProtectedInfo info = {};
  DWORD needed = 0;
  if (!QueryServiceConfig2W(service.Get(), kConfigLaunchProtected, reinterpret_cast<BYTE*>(&info),
                            sizeof(info), &needed))
    return false;
  return info.dwLaunchProtected == kLaunchProtectedAntimalwareLight;
}

DWORD StartServiceWithArgument(SC_HANDLE service, const wchar_t* argument) {
  const wchar_t* arguments[1] = {argument};
  return StartServiceW(service, 1, arguments) ? 0 : GetLastError();
}

bool SetServiceDescription(SC_HANDLE service, const std::wstring& description) {
  std::wstring text = description;
  SERVICE_DESCRIPTIONW info = {&text[0]};
  return ChangeServiceConfig2W(service, SERVICE_CONFIG_DESCRIPTION, &info) != FALSE;
}

}  // namespace lum
