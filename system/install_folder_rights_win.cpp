#include "system/install_folder_rights_win.h"

#include <windows.h>
// These build on windows.h.
#include <aclapi.h>
#include <sddl.h>
#include <shlobj.h>

#include "base/install_log.h"
#include "base/text.h"
#include "system/file_ops_win.h"
#include "system/token_privilege_win.h"
#include "system/win_handle_win.h"

namespace lum {

namespace {

constexpr const char* kLog = "install";
// Deeper than any product tree; a tree deeper than this is not walked further
// and counts as not secured.
constexpr int kMaxDepth = 64;

bool InsideFolder(const std::wstring& path, int csidl) {
  wchar_t folder[MAX_PATH] = {};
  if (FAILED(::SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, folder)) ||
      folder[0] == L'\0')
    return false;
  return StartsWithNoCase(WithTrailingSlash(path), WithTrailingSlash(folder));
}

// The shared product folder's descriptor, owner and DACL taken from it.
struct FolderDescriptor {
  UniqueLocal owned;
  PSID owner = nullptr;
  PACL dacl = nullptr;
  bool Load() {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(
            kSharedProductFolderSddl, SDDL_REVISION_1, &descriptor, nullptr))
      return false;
    owned.Reset(descriptor);
    BOOL defaulted = FALSE, present = FALSE;
    return ::GetSecurityDescriptorOwner(descriptor, &owner, &defaulted) &&
           ::GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted) && present;
  }
  PSECURITY_DESCRIPTOR Get() const { return owned.Get(); }
};

// Opens `path` as itself (a link is not followed). Attributes through the
// handle, INVALID_FILE_ATTRIBUTES when it cannot be opened.
DWORD OpenAsItself(const std::wstring& path, DWORD access, UniqueFileHandle* handle) {
  handle->Reset(::CreateFileW(path.c_str(), access,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  BY_HANDLE_FILE_INFORMATION info = {};
  if (!*handle || !::GetFileInformationByHandle(handle->Get(), &info))
    return INVALID_FILE_ATTRIBUTES;
  return info.dwFileAttributes;
}

// Every missing level of `parent` below its drive made with the shared
// product folder's descriptor (not inheriting the drive root's "Authenticated
// Users: Modify"); a level that is a link or a file refuses the folder. A
// level that exists already is left as it is. False (and GetLastError) when
// refused or not made.
bool MakeParents(const std::wstring& parent, const FolderDescriptor& rights) {
  for (size_t i = 3; i <= parent.size(); ++i) {
    if (i < parent.size() && parent[i] != L'\\') continue;
    const std::wstring level = parent.substr(0, i);
    UniqueFileHandle handle;
    const DWORD found = OpenAsItself(level, READ_CONTROL, &handle);
    if (found == INVALID_FILE_ATTRIBUTES) {
      SECURITY_ATTRIBUTES attributes = {sizeof(attributes), rights.Get(), FALSE};
      const bool made = ::CreateDirectoryW(level.c_str(), &attributes) != FALSE;
      const DWORD error = made ? 0 : ::GetLastError();
      log::Action(kLog, L"create install folder parent, writable for administrators only", level,
                  static_cast<long>(error));
      if (!made) {
        ::SetLastError(error);
        return false;
      }
      continue;
    }
    if ((found & FILE_ATTRIBUTE_REPARSE_POINT) || !(found & FILE_ATTRIBUTE_DIRECTORY)) {
      log::Action(kLog, L"install folder refused: a parent is a link or a file", level,
                  ERROR_CANT_ACCESS_FILE);
      ::SetLastError(ERROR_CANT_ACCESS_FILE);
      return false;
    }
  }
  return true;
}

// Gives every entry below `folder` (whose own rights are set already, so no
// one else can add to it) the Administrators as owner and the folder's
// rights, each through a handle on the entry itself; a link gets them too
// and is not entered. Answers the number of entries that could not be reset.
int ResetEntriesBelow(const std::wstring& folder, const FolderDescriptor& rights, int depth) {
  if (depth > kMaxDepth) return 1;
  int failures = 0;
  const std::wstring base = WithTrailingSlash(folder);
  WIN32_FIND_DATAW data;
  UniqueFindHandle find(::FindFirstFileW((base + L"*").c_str(), &data));
  if (!find) return 0;
  do {
    const std::wstring name = data.cFileName;
    if (name == L"." || name == L"..") continue;
    const std::wstring path = base + name;
    UniqueFileHandle handle;
    if (OpenAsItself(path, READ_CONTROL | WRITE_DAC | WRITE_OWNER, &handle) ==
        INVALID_FILE_ATTRIBUTES) {
      log::Action(kLog, L"install folder entry not reset", path, static_cast<long>(::GetLastError()));
      ++failures;
      continue;
    }
    const DWORD rc = ::SetSecurityInfo(
        handle.Get(), SE_FILE_OBJECT,
        OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
        rights.owner, nullptr, rights.dacl, nullptr);
    if (rc != ERROR_SUCCESS) {
      log::Action(kLog, L"install folder entry not reset", path, static_cast<long>(rc));
      ++failures;
      continue;
    }
    // Judged after the reset, through the same handle: what it is now can no
    // longer be changed by anyone but the administrators.
    BY_HANDLE_FILE_INFORMATION info = {};
    if (!::GetFileInformationByHandle(handle.Get(), &info)) {
      ++failures;
      continue;
    }
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
        !(info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
      failures += ResetEntriesBelow(path, rights, depth + 1);
  } while (::FindNextFileW(find.Get(), &data));
  return failures;
}

}  // namespace

bool SecureInstallFolder(const std::wstring& installDir) {
  if (installDir.empty()) return false;
  if (InsideFolder(installDir, CSIDL_PROGRAM_FILES) ||
      InsideFolder(installDir, CSIDL_PROGRAM_FILESX86))
    return true;
  std::wstring folder = WithTrailingSlash(installDir);
  folder.pop_back();
  const size_t slash = folder.find_last_of(L'\\');
  // A drive's root or a share is never made the product's.
  if (slash == std::wstring::npos || slash < 2 || folder.compare(0, 2, L"\\\\") == 0 ||
      folder.size() < 4 || folder[1] != L':' || folder[2] != L'\\') {
    log::Action(kLog, L"install folder not secured: not a folder of its own", folder, 1);
    return false;
  }
  FolderDescriptor rights;
  EnableProcessPrivileges({L"SeTakeOwnershipPrivilege", L"SeRestorePrivilege"});
  if (!rights.Load() || !MakeParents(folder.substr(0, slash), rights)) {
    log::Action(kLog, L"install folder outside Program Files: writable for administrators only",
                folder, static_cast<long>(::GetLastError()));
    return false;
  }
  bool secured = SecureSharedProductFolder(folder);
  long code = secured ? 0 : static_cast<long>(::GetLastError());
  if (secured) {
    // What a user made there before keeps his ownership and rights unless
    // taken over: he could change a module in it after placement.
    const int failures = ResetEntriesBelow(folder, rights, 0);
    log::Action(kLog, L"install folder content: owner and rights reset", folder, failures);
    if (failures != 0) {
      secured = false;
      code = ERROR_ACCESS_DENIED;
    }
  }
  log::Action(kLog,
              std::wstring(L"install folder outside Program Files: writable for administrators "
                           L"only"),
              folder, code);
  if (secured)
    log::Note(kLog, std::wstring(L"install folder rights asked: ") + kSharedProductFolderSddl);
  return secured;
}

}  // namespace lum
