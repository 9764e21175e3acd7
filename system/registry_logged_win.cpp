#include "system/registry_logged_win.h"

#include "base/install_log.h"

namespace lum {

std::wstring RegistryPlace(HKEY root, const std::wstring& key, const std::wstring& name) {
  const wchar_t* hive = root == HKEY_CURRENT_USER  ? L"HKCU\\"
                        : root == HKEY_USERS       ? L"HKU\\"
                        : root == HKEY_CLASSES_ROOT ? L"HKCR\\"
                                                   : L"HKLM\\";
  return hive + key + L" " + name;
}

bool LoggedWriteDword(const char* topic, HKEY root, const std::wstring& key,
                      const std::wstring& name, DWORD value, RegView view) {
  RegKey reg;
  const bool ok = reg.Create(root, key, KEY_SET_VALUE, view) && reg.WriteDword(name, value);
  log::Action(topic, L"write DWORD " + std::to_wstring(value), RegistryPlace(root, key, name),
              ok ? 0 : reg.LastError());
  return ok;
}

bool LoggedWriteString(const char* topic, HKEY root, const std::wstring& key,
                       const std::wstring& name, const std::wstring& value, RegView view) {
  RegKey reg;
  const bool ok = reg.Create(root, key, KEY_SET_VALUE, view) && reg.WriteString(name, value);
  log::Action(topic, L"write \"" + value + L"\"", RegistryPlace(root, key, name),
              ok ? 0 : reg.LastError());
  return ok;
}

bool LoggedWriteQword(const char* topic, HKEY root, const std::wstring& key,
                      const std::wstring& name, uint64_t value, RegView view) {
  RegKey reg;
  LONG rc = ERROR_SUCCESS;
  if (reg.Create(root, key, KEY_SET_VALUE, view))
    rc = ::RegSetValueExW(reg.Get(), name.c_str(), 0, REG_QWORD,
                          reinterpret_cast<const BYTE*>(&value), sizeof(value));
  else
    rc = reg.LastError();
  log::Action(topic, L"write QWORD " + std::to_wstring(value), RegistryPlace(root, key, name), rc);
  return rc == ERROR_SUCCESS;
}

}  // namespace lum
