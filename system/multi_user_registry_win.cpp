#include "system/multi_user_registry_win.h"

#include <sddl.h>
#include <shlobj.h>

#include "base/install_log.h"
#include "base/text.h"
#include "system/registry_roots.h"
#include "system/token_privilege_win.h"
#include "system/win_handle_win.h"
#include "system/windows_version_win.h"

namespace lum {
namespace {

const char kLog[] = "registry";
const wchar_t kProfileList[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";
const wchar_t kMachineEnvironment[] =
    L"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";
const wchar_t kExplorer[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer";

std::wstring UpperAscii(std::wstring text) {
  for (wchar_t& c : text) {
    if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
  }
  return text;
}

struct RegValue {
  std::wstring name;
  DWORD type;
  std::wstring text;  // REG_SZ / REG_EXPAND_SZ data without the terminator
};

// The string values of a key, in enumeration order; empty when it does not open.
bool ReadStringValues(HKEY root, const std::wstring& path, REGSAM view, std::vector<RegValue>* out) {
  HKEY opened = nullptr;
  if (::RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | view, &opened) != ERROR_SUCCESS) {
    return false;
  }
  UniqueHkey key(opened);
  for (DWORD i = 0;; ++i) {
    wchar_t name[16384];
    DWORD nameLength = 16384;
    DWORD type = 0;
    DWORD size = 0;
    LONG rc = ::RegEnumValueW(key.Get(), i, name, &nameLength, nullptr, &type, nullptr, &size);
    if (rc == ERROR_NO_MORE_ITEMS) break;
    if (rc != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) continue;
    std::wstring data(size / sizeof(wchar_t) + 1, L'\0');
    DWORD dataSize = static_cast<DWORD>(data.size() * sizeof(wchar_t));
    if (::RegQueryValueExW(key.Get(), name, nullptr, &type, reinterpret_cast<BYTE*>(&data[0]),
                           &dataSize) != ERROR_SUCCESS) {
      continue;
    }
    data.resize(dataSize / sizeof(wchar_t));
    while (!data.empty() && data.back() == L'\0') data.pop_back();
    out->push_back({std::wstring(name, nameLength), type, data});
  }
  return true;
}

// Whatever the maps leave unexpanded is tried against this process's
// environment (which holds the dynamic machine variables such as SystemDrive).
std::wstring ExpandWithProcess(const std::wstring& text) {
  if (text.find(L'%') == std::wstring::npos) return text;
  DWORD size = ::ExpandEnvironmentStringsW(text.c_str(), nullptr, 0);
  if (size == 0) return text;
  std::wstring out(size, L'\0');
  size = ::ExpandEnvironmentStringsW(text.c_str(), &out[0], size);
  if (size == 0) return text;
  out.resize(size - 1);
  return out;
}

void EnableHivePrivileges() { EnableProcessPrivileges({SE_BACKUP_NAME, SE_RESTORE_NAME}); }

std::wstring AccountNameOf(const std::wstring& sidText) {
  PSID sid = nullptr;
  if (!::ConvertStringSidToSidW(sidText.c_str(), &sid)) return L"Unknown";
  UniqueLocal owned(sid);
  wchar_t name[256] = {};
  wchar_t domain[256] = {};
  DWORD nameSize = 256;
  DWORD domainSize = 256;
  SID_NAME_USE use;
  if (!::LookupAccountSidW(nullptr, sid, name, &nameSize, domain, &domainSize, &use)) {
    return L"Unknown";
  }
  return name;
}

bool KeyOpens(HKEY root, const std::wstring& path) {
  HKEY opened = nullptr;
  if (::RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS) return false;
  UniqueHkey owned(opened);
  return true;
}

std::unique_ptr<CMultiUserRegManager>& ManagerSlot() {
  static std::unique_ptr<CMultiUserRegManager> slot;
  return slot;
}

// Known shell folder ids, per-user and machine-wide.
const int kUserFolderIds[] = {0, 2, 5, 6, 7, 8, 9, 11, 16, 20, 26, 28, 33, 34, 39};
const int kCommonFolderIds[] = {22, 23, 24, 25, 35, 46};

}  // namespace

std::vector<std::wstring> ListProfileSids(bool skipShortSids, bool* listed) {
  std::vector<std::wstring> sids;
  if (listed != nullptr) *listed = false;
  HKEY opened = nullptr;
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kProfileList, 0, KEY_READ | KEY_WOW64_32KEY, &opened) !=
      ERROR_SUCCESS) {
    return sids;
  }
  UniqueHkey key(opened);
  for (DWORD i = 0;; ++i) {
    wchar_t name[256];
    DWORD length = 256;
    LONG rc = ::RegEnumKeyExW(key.Get(), i, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (rc == ERROR_NO_MORE_ITEMS) break;
    if (rc != ERROR_SUCCESS) continue;
    std::wstring sid(name, length);
    if (skipShortSids && IsShortSid(sid)) continue;
    sids.push_back(sid);
  }
  if (listed != nullptr) *listed = true;
  return sids;
}

std::wstring ExpandWithMaps(const std::wstring& text, const EnvironmentMap& first,
                            const EnvironmentMap& second) {
  std::wstring out;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t open = text.find(L'%', pos);
    size_t close = open == std::wstring::npos ? open : text.find(L'%', open + 1);
    if (close == std::wstring::npos) {
      out.append(text, pos, std::wstring::npos);
      break;
    }
    out.append(text, pos, open - pos);
    std::wstring name = UpperAscii(text.substr(open + 1, close - open - 1));
    const std::wstring* value = nullptr;
    auto inFirst = first.find(name);
    auto inSecond = second.find(name);
    if (inFirst != first.end()) {
      value = &inFirst->second;
    } else if (inSecond != second.end()) {
      value = &inSecond->second;
    }
    if (!name.empty() && value != nullptr) {
      out += *value;
      pos = close + 1;
    } else {
      out.append(text, open, close - open);  // keep "%NAME" and retry from the second "%"
      pos = close;
    }
  }
  return out;
}

CUserRegHelper::CUserRegHelper(const std::wstring& sid, const EnvironmentMap& machineEnvironment)
    : sid_(sid) {
  if (sid_.empty()) {
    ::SetLastError(ERROR_BAD_ARGUMENTS);
    return;
  }
  accountName_ = AccountNameOf(sid_);
  HKEY opened = nullptr;
  std::wstring path;
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, (std::wstring(kProfileList) + L"\\" + sid_).c_str(), 0,
                      KEY_READ | KEY_WOW64_32KEY, &opened) == ERROR_SUCCESS) {
    UniqueHkey key(opened);
    std::vector<RegValue> values;
    ReadStringValues(key.Get(), L"", 0, &values);
    for (const RegValue& value : values) {
      if (EqualsNoCase(value.name, L"ProfileImagePath")) path = value.text;
    }
  }
  if (path.empty()) {
    log::Action(kLog, L"profile without a folder", sid_, ERROR_FILE_NOT_FOUND);
    return;
  }
  profileFolder_ = ExpandWithProcess(ExpandWithMaps(path, machineEnvironment, EnvironmentMap()));
  ok_ = true;
  LoadHives();
  ReadEnvironment(machineEnvironment);
  ReadShellFolders();
}

CUserRegHelper::~CUserRegHelper() {
  // Only what this helper mounted: a logged-on user's hive is not ours to unload.
  if (loadedClasses_) {
    LONG rc = ::RegUnLoadKeyW(HKEY_USERS, (sid_ + L"_Classes").c_str());
    log::Action(kLog, L"unload classes hive", sid_ + L"_Classes", rc);
  }
  if (loadedHive_) {
    LONG rc = ::RegUnLoadKeyW(HKEY_USERS, sid_.c_str());
    log::Action(kLog, L"unload user hive", sid_, rc);
  }
}

void CUserRegHelper::LoadHives() {
  if (KeyOpens(HKEY_USERS, sid_ + L"\\Environment")) return;  // logged on: already mounted
  std::wstring hive = JoinPath(profileFolder_, L"NTUSER.dat");
  LONG rc = ::RegLoadKeyW(HKEY_USERS, sid_.c_str(), hive.c_str());
  loadedHive_ = rc == ERROR_SUCCESS;
  log::Action(kLog, L"load user hive " + sid_, hive, rc);

  std::wstring classes =
      GetWindowsVersion().IsXp()
          ? JoinPath(profileFolder_,
                     L"Local Settings\\Application Data\\Microsoft\\Windows\\UsrClass.dat")
          : JoinPath(profileFolder_, L"AppData\\Local\\Microsoft\\Windows\\UsrClass.dat");
  rc = ::RegLoadKeyW(HKEY_USERS, (sid_ + L"_Classes").c_str(), classes.c_str());
  loadedClasses_ = rc == ERROR_SUCCESS;
  log::Action(kLog, L"load classes hive " + sid_ + L"_Classes", classes, rc);
}

void CUserRegHelper::ReadEnvironment(const EnvironmentMap& machineEnvironment) {
  environment_[L"USERPROFILE"] = profileFolder_;
  std::vector<RegValue> values;
  ReadStringValues(HKEY_USERS, sid_ + L"\\Environment", 0, &values);
  std::vector<RegValue> expandable;
  for (const RegValue& value : values) {
    if (value.type == REG_SZ) {
      environment_[UpperAscii(value.name)] = value.text;
    } else {
      expandable.push_back(value);
    }
  }
  for (const RegValue& value : expandable) {
    environment_[UpperAscii(value.name)] =
        ExpandWithMaps(value.text, environment_, machineEnvironment);
  }
}

void CUserRegHelper::ReadShellFolders() {
  std::vector<RegValue> values;
  ReadStringValues(HKEY_USERS, sid_ + L"\\" + kExplorer + L"\\User Shell Folders", 0, &values);
  for (int id : kUserFolderIds) {
    const std::wstring wanted = UserShellFolderValueName(id);
    for (const RegValue& value : values) {
      if (value.name.empty() || value.name[0] == L'!' || value.name[0] == L'{') continue;
      if (!EqualsNoCase(value.name, wanted)) continue;
      shellFolders_[id] = value.type == REG_SZ
                              ? value.text
                              : ExpandWithMaps(value.text, environment_, EnvironmentMap());
    }
  }
}

bool CUserRegHelper::Variable(const std::wstring& name, std::wstring* value) const {
  auto hit = environment_.find(UpperAscii(name));
  if (hit == environment_.end()) return false;
  *value = hit->second;
  return true;
}

bool CUserRegHelper::ShellFolder(int folderId, std::wstring* path) const {
  auto hit = shellFolders_.find(folderId);
  if (hit == shellFolders_.end()) return false;
  *path = hit->second;
  return true;
}

CMultiUserRegManager& CMultiUserRegManager::Instance() {
  std::unique_ptr<CMultiUserRegManager>& slot = ManagerSlot();
  if (!slot) slot.reset(new CMultiUserRegManager());
  return *slot;
}

void CMultiUserRegManager::Reset() { ManagerSlot().reset(); }

bool CMultiUserRegManager::Exists() { return ManagerSlot() != nullptr; }

CMultiUserRegManager::CMultiUserRegManager() {
  EnableHivePrivileges();

  std::vector<RegValue> values;
  bool environmentRead = ReadStringValues(HKEY_LOCAL_MACHINE, kMachineEnvironment, 0, &values);
  for (const RegValue& value : values) {
    machineEnvironment_[UpperAscii(value.name)] =
        value.type == REG_EXPAND_SZ ? ExpandWithProcess(value.text) : value.text;
  }

  values.clear();
  bool foldersRead = ReadStringValues(HKEY_LOCAL_MACHINE,
                                      std::wstring(kExplorer) + L"\\User Shell Folders", 0, &values);
  for (int id : kCommonFolderIds) {
    for (const RegValue& value : values) {
      if (!EqualsNoCase(value.name, CommonShellFolderValueName(id))) continue;
      machineShellFolders_[id] =
          value.type == REG_SZ
              ? value.text
              : ExpandWithProcess(ExpandWithMaps(value.text, machineEnvironment_, EnvironmentMap()));
    }
  }

  bool listed = false;
  for (const std::wstring& sid : ListProfileSids(true, &listed)) {
    if (userHiveSet_.count(sid) != 0) continue;
    userHiveSet_[sid] = std::make_shared<CUserRegHelper>(sid, machineEnvironment_);
  }
  ready_ = environmentRead && foldersRead && listed;
  log::Action(kLog, L"per-user registry ready with " + std::to_wstring(userHiveSet_.size()) +
                        L" profiles", kProfileList, ready_ ? 0 : 1);
}

CMultiUserRegManager::~CMultiUserRegManager() = default;

std::shared_ptr<CUserRegHelper> CMultiUserRegManager::Helper(const std::wstring& sid) const {
  auto hit = userHiveSet_.find(sid);
  return hit == userHiveSet_.end() ? nullptr : hit->second;
}

bool CMultiUserRegManager::FoldersForEveryUser(int folderId,
                                               std::vector<std::wstring>* folders) const {
  folders->clear();
  if (!ready_) return false;
  auto machine = machineShellFolders_.find(folderId);
  if (machine != machineShellFolders_.end()) {
    folders->push_back(machine->second);
    return true;
  }
  for (const auto& entry : userHiveSet_) {
    std::wstring path;
    if (entry.second->ShellFolder(folderId, &path)) folders->push_back(path);
  }
  if (folders->empty()) {
    wchar_t path[MAX_PATH] = {};
    if (SUCCEEDED(::SHGetFolderPathW(nullptr, folderId, nullptr, SHGFP_TYPE_CURRENT, path))) {
      folders->push_back(path);
    }
  }
  return !folders->empty();
}

bool MapUserKey(HKEY root, const std::wstring& path, const std::wstring& sid, HKEY* outRoot,
                std::wstring* outPath) {
  *outRoot = root;
  *outPath = path;
  if (root != HKEY_CURRENT_USER) return false;
  RegRoot mapped = RegRoot::kNone;
  if (!MapUserKeyPath(RegRoot::kCurrentUser, path, sid, &mapped, outPath)) return false;
  *outRoot = HKEY_USERS;
  return true;
}

std::vector<UserKey> MapKeyForEveryUser(HKEY root, const std::wstring& path) {
  std::vector<UserKey> keys;
  if (root != HKEY_CURRENT_USER || path.empty()) return keys;
  CMultiUserRegManager::Instance();
  for (const std::wstring& sid : ListProfileSids(false)) {
    UserKey key{sid, nullptr, std::wstring()};
    if (!MapUserKey(root, path, sid, &key.root, &key.path)) continue;
    const std::wstring hive = key.path.substr(0, key.path.find(L'\\'));
    if (!KeyOpens(HKEY_USERS, hive)) continue;
    keys.push_back(key);
  }
  return keys;
}

bool FoldersForEveryUser(int folderId, std::vector<std::wstring>* folders) {
  return CMultiUserRegManager::Instance().FoldersForEveryUser(folderId, folders);
}

}  // namespace lum
