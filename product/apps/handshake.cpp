#include "handshake.h"

#include <aclapi.h>
#include <sddl.h>

#include <string>

#include "service_host.h"

namespace lum {
namespace product {
namespace {

// Closes a registry key when it leaves scope.
class Key {
 public:
  Key() = default;
  ~Key() {
    if (key_ != nullptr) RegCloseKey(key_);
  }
  Key(const Key&) = delete;
  Key& operator=(const Key&) = delete;
  HKEY* out() { return &key_; }
  HKEY get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

std::wstring ReadString(HKEY key, const wchar_t* name) {
  wchar_t buffer[1024] = {};
  DWORD size = sizeof(buffer) - sizeof(wchar_t);
  DWORD type = 0;
  if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) !=
          ERROR_SUCCESS ||
      (type != REG_SZ && type != REG_EXPAND_SZ))
    return std::wstring();
  return buffer;
}

DWORD ReadDword(HKEY key, const wchar_t* name, DWORD missing) {
  DWORD value = 0, size = sizeof(value), type = 0;
  if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
          ERROR_SUCCESS ||
      type != REG_DWORD)
    return missing;
  return value;
}

// The stand-in is a 32-bit product's stand-in: its keys live in the 32-bit
// view, also when it is built for 64 bits.
constexpr REGSAM kProductView = KEY_WOW64_32KEY;

}  // namespace

void RecordCall(const wchar_t* who, const wchar_t* argument) {
  Key key;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kCallsKey, 0, nullptr, 0,
                      KEY_QUERY_VALUE | KEY_SET_VALUE | kProductView, nullptr, key.out(),
                      nullptr) != ERROR_SUCCESS)
    return;
  std::wstring calls = ReadString(key.get(), who);
  calls += argument != nullptr ? argument : L"-";
  calls += L";";
  RegSetValueExW(key.get(), who, 0, REG_SZ, reinterpret_cast<const BYTE*>(calls.c_str()),
                 static_cast<DWORD>((calls.size() + 1) * sizeof(wchar_t)));
}

namespace {

constexpr wchar_t kSharedObjectSddl[] = L"O:BAD:P(A;;GA;;;SY)(A;;GA;;;BA)";

bool OwnedByAdministrators(HANDLE object) {
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetSecurityInfo(object, SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr,
                      nullptr, nullptr, &descriptor) != ERROR_SUCCESS)
    return false;
  const bool ok = IsWellKnownSid(owner, WinLocalSystemSid) ||
                  IsWellKnownSid(owner, WinBuiltinAdministratorsSid);
  LocalFree(descriptor);
  return ok;
}

// The object just created or opened by `make`; one that existed with
// another owner is closed and refused.
template <typename Make>
HANDLE MakeShared(Make make) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(kSharedObjectSddl, SDDL_REVISION_1,
                                                            &descriptor, nullptr))
    return nullptr;
  SECURITY_ATTRIBUTES attributes = {sizeof(attributes), descriptor, FALSE};
  HANDLE object = make(&attributes);
  const DWORD error = GetLastError();
  LocalFree(descriptor);
  if (object != nullptr && error == ERROR_ALREADY_EXISTS && !OwnedByAdministrators(object)) {
    CloseHandle(object);
    SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  return object;
}

}  // namespace

HANDLE CreateSharedMutex(const wchar_t* name) {
  return MakeShared([name](SECURITY_ATTRIBUTES* a) { return CreateMutexW(a, FALSE, name); });
}

HANDLE CreateSharedEvent(const wchar_t* name, bool manualReset) {
  return MakeShared(
      [=](SECURITY_ATTRIBUTES* a) { return CreateEventW(a, manualReset ? TRUE : FALSE, FALSE, name); });
}

HANDLE OpenSharedEvent(const wchar_t* name, DWORD access) {
  HANDLE event = OpenEventW(access | READ_CONTROL, FALSE, name);
  if (event != nullptr && !OwnedByAdministrators(event)) {
    CloseHandle(event);
    SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  return event;
}

DWORD StandInSwitch(const wchar_t* name, DWORD missing) {
  Key key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kStandInKey, 0, KEY_QUERY_VALUE | kProductView, key.out()) !=
      ERROR_SUCCESS)
    return missing;
  return ReadDword(key.get(), name, missing);
}

DWORD RegisterServiceFromKey(const wchar_t* name) {
  Key key;
  const std::wstring path = std::wstring(L"SYSTEM\\CurrentControlSet\\Services\\") + name;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_QUERY_VALUE, key.out()) !=
      ERROR_SUCCESS)
    return ERROR_SERVICE_DOES_NOT_EXIST;
  const std::wstring image = ReadString(key.get(), L"ImagePath");
  const std::wstring display = ReadString(key.get(), L"DisplayName");
  const std::wstring group = ReadString(key.get(), L"Group");
  const std::wstring account = ReadString(key.get(), L"ObjectName");
  const DWORD start = ReadDword(key.get(), L"Start", SERVICE_DEMAND_START);
  const DWORD type = ReadDword(key.get(), L"Type", SERVICE_WIN32_OWN_PROCESS);
  const DWORD errors = ReadDword(key.get(), L"ErrorControl", SERVICE_ERROR_NORMAL);
  if (image.empty()) return ERROR_BAD_CONFIGURATION;
  const wchar_t* groupArg = group.empty() ? nullptr : group.c_str();
  const wchar_t* accountArg = account.empty() ? nullptr : account.c_str();

  ScHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT | SC_MANAGER_CREATE_SERVICE));
  if (manager.get() == nullptr) return GetLastError();
  ScHandle existing(OpenServiceW(manager.get(), name, SERVICE_CHANGE_CONFIG));
  if (existing.get() != nullptr)
    return ChangeServiceConfigW(existing.get(), type, start, errors, image.c_str(), groupArg,
                                nullptr, nullptr, accountArg, nullptr, display.c_str())
               ? 0
               : GetLastError();
  if (GetLastError() != ERROR_SERVICE_DOES_NOT_EXIST) return GetLastError();
  ScHandle created(CreateServiceW(manager.get(), name, display.c_str(), SERVICE_QUERY_STATUS, type,
                                  start, errors, image.c_str(), groupArg, nullptr, nullptr,
                                  accountArg, nullptr));
  return created.get() != nullptr ? 0 : GetLastError();
}

}  // namespace product
}  // namespace lum
