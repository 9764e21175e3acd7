#include "driver_service.h"

#include <string>

namespace lum {
namespace product {

void RegisterDriverService(const wchar_t* name, DWORD type, const wchar_t* driverFile) {
  SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT | SC_MANAGER_CREATE_SERVICE);
  if (manager == nullptr) return;
  const std::wstring image = std::wstring(L"system32\\drivers\\") + driverFile;
  SC_HANDLE service = CreateServiceW(manager, name, name, SERVICE_QUERY_STATUS, type,
                                     SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, image.c_str(),
                                     nullptr, nullptr, nullptr, nullptr, nullptr);
  if (service != nullptr) CloseServiceHandle(service);
  CloseServiceHandle(manager);
}

}  // namespace product
}  // namespace lum
