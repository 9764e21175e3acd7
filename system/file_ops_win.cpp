#include "system/file_ops_win.h"

#include <sddl.h>

#include <vector>

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
  if (!FolderExists(folder)) return !FileExists(folder);
  ForEachEntry(WithTrailingSlash(folder), [](const std::wstring& path,
                                              const WIN32_FIND_DATAW& data) {
    if (data.dwFileAttributes & FILE_ATTRIBUTE_READONLY)
      ::SetFileAttributesW(path.c_str(), data.dwFileAttributes & ~FILE_ATTRIBUTE_READONLY);
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
        !(data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
      DeleteFolderTree(path);
    } else if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      ::RemoveDirectoryW(path.c_str());  // a junction: remove the link, not its target
    } else {
      ::DeleteFileW(path.c_str());
    }
  });
  ::RemoveDirectoryW(folder.c_str());
  return !FolderExists(folder);
}

int ScheduleDeleteAtReboot(const std::wstring& folder) {
  int scheduled = 0;
  ForEachEntry(WithTrailingSlash(folder), [&](const std::wstring& path, const WIN32_FIND_DATAW&) {
    if (::MoveFileExW(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT)) ++scheduled;
  });
  if (::MoveFileExW(folder.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT)) ++scheduled;
  return scheduled;
}

bool CreatePrivateFolder(const std::wstring& path) {
  const std::wstring user = CurrentUserSidString();
  if (user.empty()) return false;
  // P: protected (nothing inherited from %TEMP%); OICI: files and subfolders
  // created inside get the same three entries.
  const std::wstring sddl = L"D:P(A;OICI;FA;;;" + user + L")(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1,
                                                              &descriptor, nullptr))
    return false;
  UniqueLocal descriptorOwner(descriptor);
  SECURITY_ATTRIBUTES attributes = {sizeof(attributes), descriptor, FALSE};
  return ::CreateDirectoryW(path.c_str(), &attributes) != FALSE;
}

std::wstring FileVersion::Text() const {
  return std::to_wstring(major) + L"." + std::to_wstring(minor) + L"." + std::to_wstring(build) +
         L"." + std::to_wstring(revision);
}

bool ReadFileVersion(const std::wstring& path, FileVersion* version) {
  DWORD ignored = 0;
  DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), &ignored);
  if (size == 0) return false;
  std::vector<BYTE> block(size);
  if (!::GetFileVersionInfoW(path.c_str(), 0, size, block.data())) return false;
  VS_FIXEDFILEINFO* info = nullptr;
  UINT length = 0;
  if (!::VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&info), &length) || !info ||
      length < sizeof(VS_FIXEDFILEINFO))
    return false;
  version->major = HIWORD(info->dwFileVersionMS);
  version->minor = LOWORD(info->dwFileVersionMS);
  version->build = HIWORD(info->dwFileVersionLS);
  version->revision = LOWORD(info->dwFileVersionLS);
  return true;
}

std::wstring OwnModulePath() {
  wchar_t buffer[MAX_PATH + 1] = {};
  DWORD length = ::GetModuleFileNameW(nullptr, buffer, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return std::wstring();
  return std::wstring(buffer, length);
}

}  // namespace lum
