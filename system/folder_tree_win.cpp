#include "system/folder_tree_win.h"

#include <windows.h>

#include "base/install_log.h"
#include "system/file_ops_win.h"

namespace lum {

bool CreateFolderTree(const std::wstring& path) {
  if (path.empty()) return false;
  if (FolderExists(path)) return true;
  // Every prefix that ends before a separator, from the top down; failures
  // on levels that exist (or cannot exist, such as "\\server") are harmless.
  for (size_t i = 1; i < path.size(); ++i) {
    if ((path[i] == L'\\' || path[i] == L'/') && path[i - 1] != L':' && path[i - 1] != L'\\' &&
        path[i - 1] != L'/')
      ::CreateDirectoryW(path.substr(0, i).c_str(), nullptr);
  }
  ::CreateDirectoryW(path.c_str(), nullptr);
  const bool created = FolderExists(path);
  log::Action("files", L"create folder", path, created ? 0 : static_cast<long>(::GetLastError()));
  return created;
}

std::wstring ParentFolder(const std::wstring& path) {
  const size_t slash = path.find_last_of(L"\\/");
  if (slash == std::wstring::npos) return std::wstring();
  return path.substr(0, slash);
}

std::wstring WindowsTempFolder() {
  wchar_t windows[MAX_PATH + 1] = {};
  const UINT length = ::GetSystemWindowsDirectoryW(windows, MAX_PATH);
  if (length == 0 || length > MAX_PATH) return std::wstring();
  return WithTrailingSlash(std::wstring(windows, length)) + L"Temp\\";
}

}  // namespace lum
