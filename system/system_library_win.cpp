#include "system/system_library_win.h"

#include <vector>

#include "base/install_log.h"
#include "base/system_dll_win.h"
#include "system/win_handle_win.h"

namespace lum {

namespace {

// "<Windows folder>\WinSxS\<arch>_microsoft.windows.<library>_6595b64144ccf1df_<version>_..."
// holding `name`, the highest version; empty when there is none. The store is
// written by the system's installer service alone.
std::wstring SideBySideCopy(const wchar_t* name) {
  wchar_t windows[MAX_PATH + 1] = {};
  const UINT length = ::GetSystemWindowsDirectoryW(windows, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return std::wstring();
  std::wstring stem = name;
  const size_t dot = stem.rfind(L'.');
  if (dot != std::wstring::npos) stem.resize(dot);
  const std::wstring store = std::wstring(windows, length) + L"\\WinSxS\\";
  const wchar_t* arch = sizeof(void*) == 8 ? L"amd64" : L"x86";
  const std::wstring pattern =
      store + arch + L"_Microsoft.Windows." + stem + L"_6595b64144ccf1df_*";
  WIN32_FIND_DATAW data;
  UniqueFindHandle find(::FindFirstFileW(pattern.c_str(), &data));
  if (!find) return std::wstring();
  std::wstring best;
  std::vector<unsigned> bestVersion;
  do {
    if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
      continue;
    // The version is the fourth field: <arch>_<name>_<key>_<a.b.c.d>_<language>_<hash>.
    const std::wstring folder = data.cFileName;
    size_t at = 0;
    for (int field = 0; field < 3 && at != std::wstring::npos; ++field) {
      at = folder.find(L'_', at);
      if (at != std::wstring::npos) ++at;
    }
    if (at == std::wstring::npos) continue;
    std::vector<unsigned> version;
    for (size_t i = at; i < folder.size() && folder[i] != L'_'; ++i) {
      if (folder[i] == L'.' || version.empty()) version.push_back(0);
      if (folder[i] != L'.') version.back() = version.back() * 10 + (folder[i] - L'0');
    }
    if (version > bestVersion) {
      bestVersion = version;
      best = store + folder;
    }
  } while (::FindNextFileW(find.Get(), &data));
  return best;
}

}  // namespace

std::wstring SystemFolderFile(const std::wstring& name) { return SystemFolderPath(name); }

HMODULE LoadSystemLibrary(const wchar_t* name) {
  HMODULE module = LoadSystemDll(name);
  if (module) return module;
  DWORD error = ::GetLastError();
  const std::wstring path = SystemFolderPath(name);
  if (path.empty() || ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) {
    ::SetLastError(error);
    return nullptr;
  }
  const std::wstring folder = SideBySideCopy(name);
  if (folder.empty()) {
    log::Action("files", L"load (in neither the system folder nor the side-by-side store)", name,
                static_cast<long>(error));
    ::SetLastError(error);
    return nullptr;
  }
  const std::wstring copy = folder + L"\\" + name;
  module = ::LoadLibraryExW(copy.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  error = ::GetLastError();
  log::Action("files", L"load from the side-by-side store", copy,
              module ? 0 : static_cast<long>(error));
  ::SetLastError(error);
  return module;
}

}  // namespace lum
