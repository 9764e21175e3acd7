// Service keys written directly under HKLM
// "SYSTEM\CurrentControlSet\services\<name>" (the product's own programs
// then make the service control manager learn of them), and the two marks
// the product keeps on its service keys: "DeleteFlag" and "LaunchProtected".
//
// Threading: no shared state; any thread.
#pragma once
#include <windows.h>

#include <string>

namespace lum {

struct ServiceRecord {
  std::wstring name;
  std::wstring displayName;
  DWORD errorControl = SERVICE_ERROR_NORMAL;
  std::wstring group;
  std::wstring imagePath;
  DWORD start = SERVICE_DEMAND_START;
  DWORD type = SERVICE_WIN32_OWN_PROCESS;
  std::wstring account;
};

// The active-defense service ("safemon\ZVActiveDefense.exe", automatic) and
// the protected-service registrar ("safemon\WscReg.exe", on demand).
ServiceRecord ActiveDefenseRecord(const std::wstring& installDir);
ServiceRecord ProtectedServiceRecord(const std::wstring& installDir);

// Writes display name, error control, group, image path, account, start and
// type, each only when its present value differs. A key that cannot be
// created leaves the service unregistered (logged).
void WriteServiceRecord(const ServiceRecord& record);

// Removes "LaunchProtected" (active-defense service only) and "DeleteFlag"
// (or writes it 0 when it cannot be removed but can be read). False when the
// service key does not exist.
bool ClearServiceMarks(const std::wstring& name);

// The follow-up of a driver module's install entry: when the driver's key
// exists, "Start" = 3 (on demand) and "DeleteFlag" cleared as above.
bool ResetDriverServiceKey(const std::wstring& name);

}  // namespace lum
