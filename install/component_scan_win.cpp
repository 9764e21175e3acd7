#include "install/component_scan_win.h"

#include <windows.h>

#include <string>
#include <vector>

#include "base/install_log.h"
#include "install/component_scan.h"
#include "system/registry_logged_win.h"
#include "system/registry_win.h"

namespace lum {

namespace {

constexpr const char* kLog = "install";
constexpr const wchar_t* kServicesKey = L"SYSTEM\\CurrentControlSet\\Services";
// Far more services than any machine has; the walk stops there.
constexpr DWORD kMaxServices = 20000;

std::vector<ServiceFacts> ReadServices() {
  std::vector<ServiceFacts> services;
  RegKey root;
  if (!root.Open(HKEY_LOCAL_MACHINE, kServicesKey, KEY_ENUMERATE_SUB_KEYS)) return services;
  for (DWORD index = 0; index < kMaxServices; ++index) {
    wchar_t name[257] = {};
    DWORD length = 256;
    const LONG rc = ::RegEnumKeyExW(root.Get(), index, name, &length, nullptr, nullptr, nullptr,
                                    nullptr);
    if (rc == ERROR_MORE_DATA) continue;  // not a service name
    if (rc != ERROR_SUCCESS) break;
    RegKey service;
    ServiceFacts facts;
    facts.name.assign(name, length);
    if (!service.Open(HKEY_LOCAL_MACHINE, std::wstring(kServicesKey) + L"\\" + facts.name,
                      KEY_QUERY_VALUE) ||
        !service.ReadString(L"Group", &facts.group))
      continue;
    service.ReadString(L"DisplayName", &facts.displayName);
    DWORD value = 3;
    if (service.ReadDword(L"Start", &value)) facts.start = value;
    value = 0;
    facts.markedForRemoval = service.ReadDword(L"DeleteFlag", &value) && value == 1;
    services.push_back(facts);
  }
  return services;
}

}  // namespace

int RunComponentScan() {
  const std::vector<ComponentEntry> found = OtherFileMonitors(ReadServices());
  if (RegKey::Exists(HKEY_LOCAL_MACHINE, kComponentScanKey))
    log::Action(kLog, L"clear component scan entries",
                RegistryPlace(HKEY_LOCAL_MACHINE, kComponentScanKey, L""),
                RegKey::DeleteTree(HKEY_LOCAL_MACHINE, kComponentScanKey) ? 0 : 1);
  int left = 0;
  for (const ComponentEntry& entry : found)
    if (LoggedWriteString(kLog, HKEY_LOCAL_MACHINE, kComponentScanKey, entry.name,
                          entry.displayName))
      ++left;
  log::Note(kLog, L"component scan: " + std::to_wstring(found.size()) +
                      L" real-time file monitor(s) of other products");
  return left;
}

}  // namespace lum
