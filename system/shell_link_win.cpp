#include "system/shell_link_win.h"

#include <windows.h>
// These headers build on windows.h.
#include <objidl.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <vector>

#include "base/install_log.h"
#include "system/com_ref_win.h"
#include "system/desktop_listing.h"
#include "system/folder_tree_win.h"
#include "system/win_handle_win.h"

namespace lum {

namespace {

constexpr const char* kLog = "shortcut";

HRESULT SaveLink(const std::wstring& target, const std::wstring& linkFile,
                 const std::wstring& arguments, int iconIndex) {
  ComRef<IShellLinkW> link;
  HRESULT hr = ::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                  link.PutVoid());
  if (FAILED(hr)) return hr;
  if (FAILED(hr = link->SetPath(target.c_str()))) return hr;
  if (!arguments.empty() && FAILED(hr = link->SetArguments(arguments.c_str()))) return hr;
  if (FAILED(hr = link->SetShowCmd(SW_SHOW))) return hr;
  const std::wstring folder = ParentFolder(target);
  if (FAILED(hr = link->SetWorkingDirectory(folder.c_str()))) return hr;
  if (iconIndex > 0 && FAILED(hr = link->SetIconLocation(target.c_str(), iconIndex))) return hr;
  ComRef<IPersistFile> file;
  if (FAILED(hr = link->QueryInterface(IID_IPersistFile, file.PutVoid()))) return hr;
  return file->Save(linkFile.c_str(), TRUE);
}

}  // namespace

bool CreateShortcut(const std::wstring& target, const std::wstring& linkFile,
                    const std::wstring& arguments, int iconIndex) {
  if (target.empty() || linkFile.empty()) return false;
  const HRESULT hr = SaveLink(target, linkFile, arguments, iconIndex);
  // A half-written link must not stay behind.
  if (FAILED(hr)) ::DeleteFileW(linkFile.c_str());
  log::Action(kLog, L"create shortcut to " + target + (arguments.empty() ? L"" : L" " + arguments),
              linkFile, SUCCEEDED(hr) ? 0 : static_cast<long>(hr));
  return SUCCEEDED(hr);
}

std::wstring SpecialFolder(int csidl) {
  wchar_t path[MAX_PATH + 1] = {};
  if (FAILED(::SHGetFolderPathW(nullptr, csidl | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT,
                                path)))
    return std::wstring();
  return path;
}

bool DesktopHasOnlyShortcuts() {
  wchar_t desktop[MAX_PATH + 1] = {};
  if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, SHGFP_TYPE_CURRENT,
                                desktop)))
    return false;
  WIN32_FIND_DATAW data;
  UniqueFindHandle find(::FindFirstFileW((std::wstring(desktop) + L"\\*.*").c_str(), &data));
  if (!find) return false;
  std::vector<std::wstring> names;
  do {
    names.push_back(data.cFileName);
  } while (::FindNextFileW(find.Get(), &data));
  if (::GetLastError() != ERROR_NO_MORE_FILES) return false;
  return NamesAreOnlyShortcuts(names);
}

}  // namespace lum
