#include "system/registry_access_win.h"

#include <shlobj.h>

#include <vector>

#include "base/install_log.h"
#include "base/text.h"
#include "system/key_access_rule.h"
#include "system/token_privilege_win.h"
#include "system/win_handle_win.h"

namespace lum {
namespace {

const char kLog[] = "registry";

struct RootHandle {
  RegRoot root;
  HKEY key;
};

const RootHandle kRootHandles[] = {
    {RegRoot::kClassesRoot, HKEY_CLASSES_ROOT},
    {RegRoot::kCurrentUser, HKEY_CURRENT_USER},
    {RegRoot::kLocalMachine, HKEY_LOCAL_MACHINE},
    {RegRoot::kUsers, HKEY_USERS},
    {RegRoot::kPerformanceData, HKEY_PERFORMANCE_DATA},
    {RegRoot::kDynData, HKEY_DYN_DATA},
    {RegRoot::kCurrentConfig, HKEY_CURRENT_CONFIG},
};

// The native key-name query; ntdll exports it under both names.
using ZwQueryKeyFn = LONG(NTAPI*)(HANDLE, int, PVOID, ULONG, PULONG);
constexpr int kKeyNameInformation = 3;
constexpr ULONG kKeyNameBufferSize = 2046;

bool NativeKeyName(HKEY key, std::wstring* name) {
  static ZwQueryKeyFn query = reinterpret_cast<ZwQueryKeyFn>(
      ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "ZwQueryKey"));
  if (query == nullptr || key == nullptr) return false;
  alignas(ULONG) BYTE buffer[kKeyNameBufferSize + sizeof(wchar_t)] = {};
  ULONG written = 0;
  if (query(key, kKeyNameInformation, buffer, kKeyNameBufferSize, &written) < 0) return false;
  ULONG length = *reinterpret_cast<ULONG*>(buffer);
  if (length > kKeyNameBufferSize - sizeof(ULONG)) return false;
  name->assign(reinterpret_cast<const wchar_t*>(buffer + sizeof(ULONG)), length / sizeof(wchar_t));
  return true;
}

// Learned once per process: the current user's hive in the native namespace.
const std::wstring& CurrentUserNativePrefix() {
  static const std::wstring prefix = [] {
    HKEY software = nullptr;
    std::wstring name;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\", 0, KEY_QUERY_VALUE, &software) ==
        ERROR_SUCCESS) {
      UniqueHkey owned(software);
      NativeKeyName(software, &name);
    }
    return CurrentUserPrefixFromSoftwareName(name);
  }();
  return prefix;
}

bool LookupSid(const std::wstring& account, std::vector<BYTE>* sid) {
  DWORD sidSize = 0;
  DWORD domainSize = 0;
  SID_NAME_USE use;
  ::LookupAccountNameW(nullptr, account.c_str(), nullptr, &sidSize, nullptr, &domainSize, &use);
  if (sidSize == 0) return false;
  sid->assign(sidSize, 0);
  std::wstring domain(domainSize + 1, L'\0');
  return ::LookupAccountNameW(nullptr, account.c_str(), sid->data(), &sidSize, &domain[0],
                              &domainSize, &use) != FALSE;
}

// The DACL with its descriptor (which owns the DACL's memory).
struct ObjectDacl {
  UniqueLocal descriptor;
  PACL dacl = nullptr;
};

// A registry object name ("MACHINE\Software\...") opened for `access` in the
// view RegKey uses. The named-object calls would open it in the process's
// own view, which in a 64-bit build is not where the product's keys are.
DWORD OpenRegistryObject(const std::wstring& objectName, REGSAM access, UniqueHkey* key) {
  const size_t slash = objectName.find(L'\\');
  const std::wstring prefix = objectName.substr(0, slash);
  const std::wstring path = slash == std::wstring::npos ? std::wstring() : objectName.substr(slash + 1);
  for (const RootHandle& entry : kRootHandles) {
    const std::wstring name = SecurityObjectPrefix(entry.root);
    if (name.empty() || !EqualsNoCase(name, prefix)) continue;
    HKEY opened = nullptr;
    // A registry link is opened as itself, never followed: a user could
    // otherwise point his own product key at a machine key and have this
    // elevated process change the rights of that one.
    const LONG rc =
        ::RegOpenKeyExW(entry.key, path.c_str(), REG_OPTION_OPEN_LINK,
                        access | ViewFlagFor(entry.key, path, RegView::kDefault), &opened);
    key->Reset(rc == ERROR_SUCCESS ? opened : nullptr);
    return static_cast<DWORD>(rc);
  }
  return ERROR_INVALID_NAME;
}

// A file or folder opened as itself (a link is never followed) for
// `access`; a link there is refused with ERROR_CANT_ACCESS_FILE, since its
// rights are no one's to repair and its target's are not ours.
DWORD OpenFileObject(const std::wstring& path, DWORD access, UniqueFileHandle* file) {
  file->Reset(::CreateFileW(path.c_str(), access,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                            nullptr));
  if (!*file) return ::GetLastError();
  BY_HANDLE_FILE_INFORMATION info = {};
  if (!::GetFileInformationByHandle(file->Get(), &info)) return ::GetLastError();
  if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
    file->Reset();
    return ERROR_CANT_ACCESS_FILE;
  }
  return ERROR_SUCCESS;
}

DWORD GetObjectSecurity(const std::wstring& objectName, SE_OBJECT_TYPE type,
                        SECURITY_INFORMATION what, PACL* dacl, PSECURITY_DESCRIPTOR* descriptor) {
  if (type == SE_FILE_OBJECT) {
    UniqueFileHandle file;
    const DWORD rc = OpenFileObject(objectName, READ_CONTROL, &file);
    if (rc != ERROR_SUCCESS) return rc;
    return ::GetSecurityInfo(file.Get(), type, what, nullptr, nullptr, dacl, nullptr, descriptor);
  }
  if (type != SE_REGISTRY_KEY)
    return ::GetNamedSecurityInfoW(objectName.c_str(), type, what, nullptr, nullptr, dacl, nullptr,
                                   descriptor);
  UniqueHkey key;
  const DWORD rc = OpenRegistryObject(objectName, READ_CONTROL, &key);
  if (rc != ERROR_SUCCESS) return rc;
  return ::GetSecurityInfo(key.Get(), type, what, nullptr, nullptr, dacl, nullptr, descriptor);
}

DWORD SetObjectSecurity(const std::wstring& objectName, SE_OBJECT_TYPE type,
                        SECURITY_INFORMATION what, PSID owner, PACL dacl) {
  if (type == SE_FILE_OBJECT) {
    UniqueFileHandle file;
    const DWORD access = (what & OWNER_SECURITY_INFORMATION) ? WRITE_OWNER : WRITE_DAC;
    const DWORD rc = OpenFileObject(objectName, access, &file);
    if (rc != ERROR_SUCCESS) return rc;
    return ::SetSecurityInfo(file.Get(), type, what, owner, nullptr, dacl, nullptr);
  }
  if (type != SE_REGISTRY_KEY) {
    std::wstring name = objectName;  // the call wants a writable string
    return ::SetNamedSecurityInfoW(&name[0], type, what, owner, nullptr, dacl, nullptr);
  }
  UniqueHkey key;
  const REGSAM access = (what & OWNER_SECURITY_INFORMATION) ? WRITE_OWNER : WRITE_DAC;
  const DWORD rc = OpenRegistryObject(objectName, access, &key);
  if (rc != ERROR_SUCCESS) return rc;
  return ::SetSecurityInfo(key.Get(), type, what, owner, nullptr, dacl, nullptr);
}

DWORD ReadDacl(const std::wstring& objectName, SE_OBJECT_TYPE type, ObjectDacl* out) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  PACL dacl = nullptr;
  DWORD rc = GetObjectSecurity(objectName, type, DACL_SECURITY_INFORMATION, &dacl, &descriptor);
  if (rc == ERROR_SUCCESS) {
    out->descriptor.Reset(descriptor);
    out->dacl = dacl;
  }
  return rc;
}

void RemoveDenyEntries(PACL dacl, PSID trustee) {
  if (dacl == nullptr) return;
  for (DWORD i = dacl->AceCount; i-- > 0;) {
    void* ace = nullptr;
    if (!::GetAce(dacl, i, &ace)) continue;
    auto* header = static_cast<ACE_HEADER*>(ace);
    if (header->AceType != ACCESS_DENIED_ACE_TYPE) continue;
    auto* denied = static_cast<ACCESS_DENIED_ACE*>(ace);
    if (::EqualSid(&denied->SidStart, trustee)) ::DeleteAce(dacl, i);
  }
}

DWORD WriteDacl(const std::wstring& objectName, SE_OBJECT_TYPE type, PACL dacl,
                const std::wstring& trustee, ACCESS_MODE mode, DWORD rights) {
  EXPLICIT_ACCESSW access = {};
  access.grfAccessPermissions = rights;
  access.grfAccessMode = mode;
  access.grfInheritance = SUB_CONTAINERS_AND_OBJECTS_INHERIT;
  access.Trustee.TrusteeForm = TRUSTEE_IS_NAME;
  access.Trustee.TrusteeType = TRUSTEE_IS_UNKNOWN;
  access.Trustee.ptstrName = const_cast<wchar_t*>(trustee.c_str());
  PACL merged = nullptr;
  DWORD rc = ::SetEntriesInAclW(1, &access, dacl, &merged);
  if (rc != ERROR_SUCCESS) return rc;
  UniqueLocal mergedOwner(merged);
  return SetObjectSecurity(objectName, type, DACL_SECURITY_INFORMATION, nullptr, merged);
}

std::wstring RegistryObjectNameFor(HKEY rootOrHandle, const std::wstring& path) {
  HKEY root = nullptr;
  std::wstring base;
  if (!ResolveKeyPath(rootOrHandle, &root, &base)) return std::wstring();
  std::wstring full = base;
  if (!path.empty()) full = full.empty() ? path : full + L"\\" + path;
  return RegistryObjectName(RootFromHkey(root), full);
}

bool AccountExists(const std::wstring& account) {
  std::vector<BYTE> sid;
  return LookupSid(account, &sid);
}

std::wstring ShellFolder(int csidl) {
  wchar_t path[MAX_PATH] = {};
  if (FAILED(::SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path))) {
    return std::wstring();
  }
  return path;
}

bool IsFolder(const std::wstring& path) {
  DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace

HKEY HkeyFromRoot(RegRoot root) {
  for (const RootHandle& entry : kRootHandles) {
    if (entry.root == root) return entry.key;
  }
  return nullptr;
}

RegRoot RootFromHkey(HKEY key) {
  for (const RootHandle& entry : kRootHandles) {
    if (entry.key == key) return entry.root;
  }
  return RegRoot::kNone;
}

HKEY RootKeyFromName(const std::wstring& name) { return HkeyFromRoot(RootFromName(name)); }

std::wstring NameFromRootKey(HKEY root) { return NameFromRoot(RootFromHkey(root)); }

bool ResolveKeyPath(HKEY key, HKEY* root, std::wstring* path) {
  // Only these predefined roots name themselves; performance and dynamic data
  // have no key path.
  if (key == HKEY_CLASSES_ROOT || key == HKEY_CURRENT_USER || key == HKEY_LOCAL_MACHINE ||
      key == HKEY_USERS || key == HKEY_CURRENT_CONFIG) {
    *root = key;
    path->clear();
    return true;
  }
  std::wstring name;
  if (!NativeKeyName(key, &name)) return false;
  RegRoot resolved = RegRoot::kNone;
  if (!ResolveNativeKeyName(name, CurrentUserNativePrefix(), &resolved, path)) return false;
  *root = HkeyFromRoot(resolved);
  return true;
}

bool CAccessPermission::GrantAccess(const std::wstring& objectName, SE_OBJECT_TYPE objectType,
                                    ACCESS_MODE accessMode, const std::wstring& trustee,
                                    DWORD rights) {
  if (objectName.empty() || trustee.empty()) return false;
  // Ownership goes only to SYSTEM or the Administrators: an owner may give
  // himself any right, so a grant of reading to "Users" must never make
  // them the owner.
  const std::wstring owner =
      EqualsNoCase(trustee, L"SYSTEM") ? trustee : std::wstring(L"Administrators");
  ObjectDacl current;
  DWORD rc = ReadDacl(objectName, objectType, &current);
  if (rc == ERROR_ACCESS_DENIED) {
    TakeOwnership(objectName, objectType, owner);
    rc = ReadDacl(objectName, objectType, &current);
  }
  if (rc != ERROR_SUCCESS) {
    log::Action(kLog, L"read access rights failed", objectName, static_cast<long>(rc));
    return false;
  }
  std::vector<BYTE> trusteeSid;
  if ((accessMode == GRANT_ACCESS || accessMode == SET_ACCESS) && LookupSid(trustee, &trusteeSid)) {
    RemoveDenyEntries(current.dacl, trusteeSid.data());
  }
  rc = WriteDacl(objectName, objectType, current.dacl, trustee, accessMode, rights);
  if (rc == ERROR_ACCESS_DENIED) {
    TakeOwnership(objectName, objectType, owner);
    rc = WriteDacl(objectName, objectType, current.dacl, trustee, accessMode, rights);
  }
  wchar_t hex[16] = {};
  swprintf(hex, 16, L"%lX", static_cast<unsigned long>(rights));
  log::Action(kLog, L"grant " + trustee + L" rights 0x" + hex, objectName, static_cast<long>(rc));
  return rc == ERROR_SUCCESS;
}

bool CAccessPermission::TakeOwnership(const std::wstring& objectName, SE_OBJECT_TYPE objectType,
                                      const std::wstring& trustee) {
  EnableProcessPrivileges({SE_TAKE_OWNERSHIP_NAME, SE_RESTORE_NAME});
  std::vector<BYTE> sid;
  if (!LookupSid(trustee, &sid)) return false;
  DWORD rc = SetObjectSecurity(objectName, objectType, OWNER_SECURITY_INFORMATION, sid.data(),
                               nullptr);
  log::Action(kLog, L"take ownership for " + trustee, objectName, static_cast<long>(rc));
  return rc == ERROR_SUCCESS;
}

std::wstring CurrentUserName() {
  wchar_t name[257] = {};
  DWORD size = 257;
  if (!::GetUserNameW(name, &size)) return std::wstring();
  return name;
}

bool GrantRegistryKeyAccess(HKEY rootOrHandle, const std::wstring& path, const std::wstring& trustee,
                            DWORD rights, CAccessPermission* permission) {
  std::wstring objectName = RegistryObjectNameFor(rootOrHandle, path);
  if (objectName.empty()) return false;
  std::wstring who = trustee.empty() ? CurrentUserName() : trustee;
  if (who.empty()) return false;
  CAccessPermission plain;
  CAccessPermission* use = permission != nullptr ? permission : &plain;
  return use->GrantAccess(objectName, SE_REGISTRY_KEY, GRANT_ACCESS, who, rights);
}

KeyAccess EvaluateKeyAccess(HKEY root, const std::wstring& path, const std::wstring& trustee,
                            DWORD rights) {
  std::wstring objectName = RegistryObjectNameFor(root, path);
  std::vector<BYTE> sid;
  if (objectName.empty() || !LookupSid(trustee, &sid)) return KeyAccess::kNeither;
  sid.resize(::GetLengthSid(sid.data()));
  ObjectDacl current;
  if (ReadDacl(objectName, SE_REGISTRY_KEY, &current) != ERROR_SUCCESS) return KeyAccess::kNeither;
  if (current.dacl == nullptr) return KeyAccess::kAllowed;  // no DACL: everyone may
  // The walk over the entries is the portable rule; it needs the DACL's own
  // bytes and the trustee's SID bytes.
  const auto* bytes = reinterpret_cast<const uint8_t*>(current.dacl);
  return JudgeKeyAccess(bytes, current.dacl->AclSize, sid, rights);
}

bool EnsureKeyAccess(HKEY root, const std::wstring& path, const std::wstring& trustee, DWORD rights,
                     bool strict, CAccessPermission* permission) {
  if (path.empty() || trustee.empty()) return false;
  KeyAccess access = EvaluateKeyAccess(root, path, trustee, rights);
  if (strict ? access == KeyAccess::kAllowed : access != KeyAccess::kDenied) return true;
  return GrantRegistryKeyAccess(root, path, trustee, rights, permission);
}

void RepairProductAcls(const std::wstring& installFolder, CAccessPermission* permission) {
  CAccessPermission plain;
  CAccessPermission* use = permission != nullptr ? permission : &plain;

  AclRepairFacts facts;
  facts.currentUser = CurrentUserName();
  facts.administratorsExists = AccountExists(L"Administrators");
  facts.usersExists = AccountExists(L"Users");
  facts.commonAppData = ShellFolder(CSIDL_COMMON_APPDATA);
  facts.userAppData = ShellFolder(CSIDL_APPDATA);
  facts.commonProductFolderExists =
      !facts.commonAppData.empty() && IsFolder(facts.commonAppData + L"\\LumBastion");
  facts.userProductFolderExists =
      !facts.userAppData.empty() && IsFolder(facts.userAppData + L"\\LumBastion");

  AclRepairPlan plan = PlanProductAclRepair(installFolder, facts);
  log::Note(kLog, L"repair access rights of the product's keys and folders");
  for (const KeyGrant& grant : plan.keys) {
    HKEY root = HkeyFromRoot(grant.root);
    // A key that is not there has nothing to repair; one we may not open still has.
    HKEY opened = nullptr;
    LONG rc = ::RegOpenKeyExW(root, grant.path.c_str(), 0, READ_CONTROL | ViewFlag(RegView::kDefault),
                              &opened);
    UniqueHkey owned(rc == ERROR_SUCCESS ? opened : nullptr);
    if (rc == ERROR_FILE_NOT_FOUND) continue;
    EnsureKeyAccess(root, grant.path, grant.trustee, grant.rights, grant.strict, use);
  }
  for (const FolderGrant& grant : plan.folders) {
    if (!IsFolder(grant.path)) continue;
    use->GrantAccess(grant.path, SE_FILE_OBJECT, GRANT_ACCESS, grant.trustee, grant.rights);
  }
}

}  // namespace lum
