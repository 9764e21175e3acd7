#include "system/service_record_win.h"

#include "base/install_log.h"
#include "base/text.h"
#include "system/file_ops_win.h"
#include "system/registry_win.h"
#include "system/service_control_win.h"

namespace lum {
namespace {

constexpr const char* kLog = "service";

std::wstring QuotedProductFile(const std::wstring& installDir, const wchar_t* relative) {
  return L"\"" + WithTrailingSlash(installDir) + relative + L"\"";
}

void WriteStringIfDifferent(RegKey& key, const wchar_t* name, const std::wstring& value) {
  std::wstring present;
  if (key.ReadString(name, &present) && present == value) return;
  if (!key.WriteString(name, value))
    log::Action(kLog, std::wstring(L"write service value ") + name, value, key.LastError());
}

void WriteDwordIfDifferent(RegKey& key, const wchar_t* name, DWORD value) {
  DWORD present = 0;
  if (key.ReadDword(name, &present) && present == value) return;
  if (!key.WriteDword(name, value))
    log::Action(kLog, std::wstring(L"write service value ") + name, std::to_wstring(value),
                key.LastError());
}

// A value that cannot be removed but reads back is neutralised instead.
void ClearDeleteFlag(RegKey& key) {
  if (key.DeleteValue(L"DeleteFlag")) return;
  DWORD ignored = 0;
  if (key.ReadDword(L"DeleteFlag", &ignored)) key.WriteDword(L"DeleteFlag", 0);
}

}  // namespace

ServiceRecord ActiveDefenseRecord(const std::wstring& installDir) {
  ServiceRecord r;
  r.name = L"ZVActiveDefense";
  r.displayName = L"Lum Bastion";
  r.errorControl = SERVICE_ERROR_NORMAL;
  r.group = L"TDI";
  r.imagePath = QuotedProductFile(installDir, L"safemon\\ZVActiveDefense.exe");
  r.start = SERVICE_AUTO_START;
  r.type = SERVICE_WIN32_OWN_PROCESS;
  r.account = L"LocalSystem";
  return r;
}

ServiceRecord ProtectedServiceRecord(const std::wstring& installDir) {
  ServiceRecord r = ActiveDefenseRecord(installDir);
  r.name = L"ZVProtected";
  r.displayName = L"ZVProtected";
  r.imagePath = QuotedProductFile(installDir, L"safemon\\WscReg.exe");
  r.start = SERVICE_DEMAND_START;
  return r;
}

void WriteServiceRecord(const ServiceRecord& record) {
  RegKey key;
  if (!key.Create(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\services\\" + record.name,
                  KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_CREATE_SUB_KEY)) {
    log::Action(kLog, L"create service key", record.name, key.LastError());
    return;
  }
  WriteStringIfDifferent(key, L"DisplayName", record.displayName);
  WriteDwordIfDifferent(key, L"ErrorControl", record.errorControl);
  WriteStringIfDifferent(key, L"Group", record.group);
  WriteStringIfDifferent(key, L"ImagePath", record.imagePath);
  WriteStringIfDifferent(key, L"ObjectName", record.account);
  WriteDwordIfDifferent(key, L"Start", record.start);
  WriteDwordIfDifferent(key, L"Type", record.type);
  log::Action(kLog, L"write service record " + record.name, record.imagePath, 0);
}

bool ClearServiceMarks(const std::wstring& name) {
  RegKey key;
  if (!key.Open(HKEY_LOCAL_MACHINE, ServiceKeyPath(name), KEY_SET_VALUE | KEY_QUERY_VALUE))
    return false;
  if (EqualsNoCase(name, L"ZVActiveDefense") && key.DeleteValue(L"LaunchProtected"))
    log::Action(kLog, L"remove LaunchProtected", name, 0);
  ClearDeleteFlag(key);
  return true;
}

bool ResetDriverServiceKey(const std::wstring& name) {
  RegKey key;
  if (!key.Open(HKEY_LOCAL_MACHINE, ServiceKeyPath(name), KEY_SET_VALUE | KEY_QUERY_VALUE))
    return false;
  const bool ok = key.WriteDword(L"Start", SERVICE_DEMAND_START);
  ClearDeleteFlag(key);
  log::Action(kLog, L"driver service on demand", name, ok ? 0 : key.LastError());
  return ok;
}

}  // namespace lum
