#include "system/install_folder_rights_win.h"

#include <windows.h>
// shlobj.h builds on windows.h.
#include <shlobj.h>

#include "base/install_log.h"
#include "base/text.h"
#include "system/file_ops_win.h"
#include "system/folder_tree_win.h"

namespace lum {

namespace {

bool InsideFolder(const std::wstring& path, int csidl) {
  wchar_t folder[MAX_PATH] = {};
  if (FAILED(::SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, folder)) ||
      folder[0] == L'\0')
    return false;
  return StartsWithNoCase(WithTrailingSlash(path), WithTrailingSlash(folder));
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
  if (slash == std::wstring::npos || slash < 2 || folder.compare(0, 2, L"\\\\") == 0) {
    log::Action("install", L"install folder not secured: not a folder of its own", folder, 1);
    return false;
  }
  CreateFolderTree(folder.substr(0, slash));
  const bool secured = SecureSharedProductFolder(folder);
  log::Action("install", L"install folder outside Program Files: writable for administrators only",
              folder, secured ? 0 : static_cast<long>(::GetLastError()));
  return secured;
}

}  // namespace lum
