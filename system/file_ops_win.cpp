#include "system/file_ops_win.h"

#include <aclapi.h>
#include <sddl.h>

#include <cwchar>
#include <map>
#include <mutex>
#include <vector>

#include "base/install_log.h"
#include "base/system_dll_win.h"
#include "system/folder_tree_win.h"
#include "system/handle_tree_win.h"
#include "system/held_file_win.h"
#include "system/link_rule.h"
#include "system/token_privilege_win.h"
#include "system/walk_guard_win.h"
#include "system/win_handle_win.h"
#include "system/windows_version_win.h"

namespace lum {

namespace {

DWORD Attributes(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()); }

// Calls `visit(path, data)` for every entry directly inside `base` (which
// ends in a backslash), "." and ".." left out; the search handle is closed
// before it returns, so the caller may then remove the folder itself.
template <typename Visit>
void ForEachEntry(const std::wstring& base, Visit visit) {
  WIN32_FIND_DATAW data;
  UniqueFindHandle find(::FindFirstFileW((base + L"*").c_str(), &data));
  if (!find) return;
  do {
    const std::wstring name = data.cFileName;
    if (name == L"." || name == L"..") continue;
    visit(base + name, data);
  } while (::FindNextFileW(find.Get(), &data));
}

}  // namespace

bool FileExists(const std::wstring& path) {
  DWORD attributes = Attributes(path);
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool FolderExists(const std::wstring& path) {
  DWORD attributes = Attributes(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring WithTrailingSlash(const std::wstring& path) {
  std::wstring out = path;
  while (!out.empty() && (out.back() == L'\\' || out.back() == L'/')) out.pop_back();
  out += L'\\';
  return out;
}

std::wstring FileNamePart(const std::wstring& path) {
  size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

bool DeleteFolderTree(const std::wstring& folder) {
  const DWORD top = Attributes(folder);
  if (top == INVALID_FILE_ATTRIBUTES || !(top & FILE_ATTRIBUTE_DIRECTORY))
    return !FileExists(folder);
  // By handle all the way: a link on the way refuses the walk, a link inside
  // (or a top that is one) goes as a link.
  const TreeDelete result = DeleteTreeNoLinks("files", L"delete folder tree", folder);
  if (result == TreeDelete::kTopLinkGone) return Attributes(folder) == INVALID_FILE_ATTRIBUTES;
  return result == TreeDelete::kGone && !FolderExists(folder);
}

bool RemoveLink(const std::wstring& path, uint32_t attributes) {
  if (!IsLink(attributes)) return false;
  // Opened relative to its folder, reached without links, and removed through
  // its own handle only when that handle is the link itself: never its target.
  const size_t slash = path.find_last_of(L"\\/");
  if (slash == std::wstring::npos) return false;
  UniqueHandle folder;
  if (OpenFolderNoLinks(path.substr(0, slash), &folder).open != WayOpen::kOpened) return false;
  UniqueHandle entry;
  if (OpenEntry(folder.Get(), path.substr(slash + 1), kAttributesInvalid, &entry) !=
      EntryKind::kLink)
    return false;
  return DeleteOpenedEntry(entry.Get()) == 0;
}

int ScheduleDeleteAtReboot(const std::wstring& folder) {
  int scheduled = 0;
  if (!MayWalk("files", L"schedule folder removal at restart", folder)) return 0;
  ForEachEntry(WithTrailingSlash(folder), [&](const std::wstring& path, const WIN32_FIND_DATAW&) {
    if (::MoveFileExW(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT)) ++scheduled;
  });
  if (::MoveFileExW(folder.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT)) ++scheduled;
  return scheduled;
}

namespace {

bool CreateFolderWithSddl(const std::wstring& path, const std::wstring& sddl) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1,
                                                              &descriptor, nullptr))
    return false;
  UniqueLocal descriptorOwner(descriptor);
  SECURITY_ATTRIBUTES attributes = {sizeof(attributes), descriptor, FALSE};
  return ::CreateDirectoryW(path.c_str(), &attributes) != FALSE;
}

// The folders CreateProtectedFolder made in this process (lower case, no
// trailing backslash), each with the handle that keeps it from being renamed
// or removed. Any thread may create one; the lock keeps the map whole.
std::mutex protectedFoldersLock;
std::map<std::wstring, UniqueFileHandle>& ProtectedFolders() {
  static auto* folders = new std::map<std::wstring, UniqueFileHandle>;  // held to the end
  return *folders;
}

std::wstring FolderKey(const std::wstring& path) {
  std::wstring key = WithTrailingSlash(path);
  key.pop_back();
  for (wchar_t& c : key) {
    if (c == L'/') c = L'\\';
    if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
  }
  return key;
}

}  // namespace

bool CreatePrivateFolder(const std::wstring& path) {
  const std::wstring user = CurrentUserSidString();
  if (user.empty()) return false;
  // P: protected (nothing inherited from %TEMP%); OICI: files and subfolders
  // created inside get the same three entries.
  return CreateFolderWithSddl(path,
                              L"D:P(A;OICI;FA;;;" + user + L")(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)");
}

bool CreateProtectedFolder(const std::wstring& path) {
  std::wstring folder = WithTrailingSlash(path);
  folder.pop_back();
  // Not the installing user: an unelevated process of that same user is
  // exactly who must not reach the files loaded or copied from here.
  UniqueFileHandle held;
  if (!CreateHeldFolder(folder, kProtectedFolderSddl, &held)) {
    const DWORD error = ::GetLastError();
    if (error != ERROR_ALREADY_EXISTS)
      log::Action("files", L"protected folder refused", folder, static_cast<long>(error));
    ::SetLastError(error);
    return false;
  }
  std::lock_guard<std::mutex> hold(protectedFoldersLock);
  ProtectedFolders()[FolderKey(folder)] = std::move(held);
  return true;
}

void ReleaseProtectedFolder(const std::wstring& path) {
  std::lock_guard<std::mutex> hold(protectedFoldersLock);
  ProtectedFolders().erase(FolderKey(path));
}

bool SecureSharedProductFolder(const std::wstring& path) {
  std::wstring folder = WithTrailingSlash(path);
  folder.pop_back();
  // Users may read what the product keeps there; only SYSTEM and the
  // Administrators may change it.
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(kSharedProductFolderSddl,
                                                              SDDL_REVISION_1, &descriptor,
                                                              nullptr))
    return false;
  UniqueLocal descriptorOwner(descriptor);
  SECURITY_ATTRIBUTES attributes = {sizeof(attributes), descriptor, FALSE};
  if (::CreateDirectoryW(folder.c_str(), &attributes)) return true;
  if (::GetLastError() != ERROR_ALREADY_EXISTS) return false;
  const DWORD found = Attributes(folder);
  if (IsLink(found) || !(found & FILE_ATTRIBUTE_DIRECTORY)) {
    ::SetLastError(ERROR_CANT_ACCESS_FILE);
    return false;
  }
  // Someone may have made it before us with rights of his own: take it over.
  // The owner can always give himself back any right, so it changes too.
  EnableProcessPrivileges({L"SeTakeOwnershipPrivilege", L"SeRestorePrivilege"});
  UniqueFileHandle handle(::CreateFileW(
      folder.c_str(), READ_CONTROL | WRITE_DAC | WRITE_OWNER,
      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
      FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!handle) return false;
  PSID owner = nullptr;
  PACL dacl = nullptr;
  BOOL defaulted = FALSE, present = FALSE;
  ::GetSecurityDescriptorOwner(descriptor, &owner, &defaulted);
  ::GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted);
  const DWORD result = ::SetSecurityInfo(
      handle.Get(), SE_FILE_OBJECT,
      OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
      owner, nullptr, dacl, nullptr);
  ::SetLastError(result);
  return result == ERROR_SUCCESS;
}

bool IsProtectedFolderOfThisRun(const std::wstring& path) {
  if (path.empty()) return false;
  std::lock_guard<std::mutex> hold(protectedFoldersLock);
  const auto found = ProtectedFolders().find(FolderKey(path));
  if (found == ProtectedFolders().end()) return false;
  // The name must still lead to the folder made: held open, it cannot have
  // been renamed, but a check by handle costs little and says so.
  std::wstring folder = WithTrailingSlash(path);
  folder.pop_back();
  if (PathLeadsTo(found->second.Get(), folder)) return true;
  log::Action("files", L"protected folder: path no longer leads to the folder made", folder,
              ERROR_CANT_ACCESS_FILE);
  return false;
}

bool IsWritableFolder(const std::wstring& path) {
  if (path.empty()) return false;
  if (!FolderExists(path)) CreateFolderTree(path);
  bool written = false;
  std::wstring file;
  if (FolderExists(path)) {
    file = WithTrailingSlash(path) + L"writeable_test_" +
           std::to_wstring(static_cast<int>(::GetTickCount())) + L".dat";
    UniqueFileHandle handle(::CreateFileW(file.c_str(), GENERIC_WRITE,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                          nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (handle) {
      const uint8_t bytes[2] = {0xFF, 0xFF};
      DWORD done = 0;
      written = ::WriteFile(handle.Get(), bytes, sizeof(bytes), &done, nullptr) && done == 2;
    }
    handle.Reset();
    if (written) ::DeleteFileW(file.c_str());
  }
  log::Action("files", L"folder writable test", path, written ? 0 : 1);
  return written;
}

std::wstring FileVersion::Text() const {
  return std::to_wstring(major) + L"." + std::to_wstring(minor) + L"." + std::to_wstring(build) +
         L"." + std::to_wstring(revision);
}

namespace {

// The version library, loaded from the system folder when first needed.
struct VersionApi {
  DWORD(WINAPI* infoSize)(const wchar_t*, DWORD*) = nullptr;
  BOOL(WINAPI* info)(const wchar_t*, DWORD, DWORD, void*) = nullptr;
  BOOL(WINAPI* query)(const void*, const wchar_t*, void**, UINT*) = nullptr;
};

const VersionApi* Version() {
  static const VersionApi api = [] {
    VersionApi a;
    a.infoSize = SystemExport<decltype(a.infoSize)>(L"version.dll", "GetFileVersionInfoSizeW");
    a.info = SystemExport<decltype(a.info)>(L"version.dll", "GetFileVersionInfoW");
    a.query = SystemExport<decltype(a.query)>(L"version.dll", "VerQueryValueW");
    return a;
  }();
  return api.infoSize && api.info && api.query ? &api : nullptr;
}

// The file's whole version block; empty when it has none.
std::vector<BYTE> VersionBlock(const VersionApi& api, const std::wstring& path) {
  DWORD ignored = 0;
  const DWORD size = api.infoSize(path.c_str(), &ignored);
  std::vector<BYTE> block(size);
  if (size == 0 || !api.info(path.c_str(), 0, size, block.data())) block.clear();
  return block;
}

}  // namespace

bool ReadFileVersion(const std::wstring& path, FileVersion* version) {
  const VersionApi* api = Version();
  if (!api) return false;
  const std::vector<BYTE> block = VersionBlock(*api, path);
  if (block.empty()) return false;
  VS_FIXEDFILEINFO* info = nullptr;
  UINT length = 0;
  if (!api->query(block.data(), L"\\", reinterpret_cast<void**>(&info), &length) || !info ||
      length < sizeof(VS_FIXEDFILEINFO))
    return false;
  version->major = HIWORD(info->dwFileVersionMS);
  version->minor = LOWORD(info->dwFileVersionMS);
  version->build = HIWORD(info->dwFileVersionLS);
  version->revision = LOWORD(info->dwFileVersionLS);
  return true;
}

std::wstring ReadVersionString(const std::wstring& path, const wchar_t* name) {
  const VersionApi* api = Version();
  if (!api) return std::wstring();
  const std::vector<BYTE> block = VersionBlock(*api, path);
  if (block.empty()) return std::wstring();
  struct Translation {
    WORD language;
    WORD codePage;
  };
  Translation* translations = nullptr;
  UINT length = 0;
  if (!api->query(block.data(), L"\\VarFileInfo\\Translation",
                  reinterpret_cast<void**>(&translations), &length) ||
      !translations || length < sizeof(Translation))
    return std::wstring();
  wchar_t query[96];
  std::swprintf(query, 96, L"\\StringFileInfo\\%04x%04x\\%ls", translations[0].language,
                translations[0].codePage, name);
  wchar_t* text = nullptr;
  if (!api->query(block.data(), query, reinterpret_cast<void**>(&text), &length) || !text ||
      length == 0)
    return std::wstring();
  // The length counts the terminating zero when there is one; never read past it.
  return std::wstring(text, wcsnlen(text, length));
}

std::wstring OwnModulePath() {
  wchar_t buffer[MAX_PATH + 1] = {};
  DWORD length = ::GetModuleFileNameW(nullptr, buffer, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return std::wstring();
  return std::wstring(buffer, length);
}

}  // namespace lum
