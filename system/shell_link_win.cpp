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
#include "system/handle_tree_win.h"
#include "system/win_handle_win.h"

namespace lum {

namespace {

constexpr const char* kLog = "shortcut";

// The bytes of a shell link, as IPersistFile::Save would write them, made
// in memory: the file is then written by handle, never by path.
HRESULT LinkBytes(const std::wstring& target, const std::wstring& arguments, int iconIndex,
                  std::string* bytes) {
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
  ComRef<IPersistStream> persist;
  if (FAILED(hr = link->QueryInterface(IID_IPersistStream, persist.PutVoid()))) return hr;
  ComRef<IStream> stream;
  if (FAILED(hr = ::CreateStreamOnHGlobal(nullptr, TRUE,
                                          reinterpret_cast<IStream**>(stream.PutVoid()))))
    return hr;
  if (FAILED(hr = persist->Save(stream.Get(), TRUE))) return hr;
  HGLOBAL memory = nullptr;
  if (FAILED(hr = ::GetHGlobalFromStream(stream.Get(), &memory))) return hr;
  ULARGE_INTEGER end = {};
  const LARGE_INTEGER zero = {};
  if (FAILED(hr = stream->Seek(zero, STREAM_SEEK_CUR, &end))) return hr;
  const void* data = ::GlobalLock(memory);
  if (!data) return E_OUTOFMEMORY;
  bytes->assign(static_cast<const char*>(data), static_cast<size_t>(end.QuadPart));
  ::GlobalUnlock(memory);
  return S_OK;
}

}  // namespace

bool CreateShortcut(const std::wstring& target, const std::wstring& linkFile,
                    const std::wstring& arguments, int iconIndex) {
  if (target.empty() || linkFile.empty()) return false;
  const std::wstring what =
      L"create shortcut to " + target + (arguments.empty() ? L"" : L" " + arguments);
  const size_t slash = linkFile.find_last_of(L"\\/");
  if (slash == std::wstring::npos) return false;
  // The folder may be a user's (his Programs folder, set in his hive): it is
  // opened by handle without a link on its way, and the file is created new
  // relative to that handle.
  UniqueHandle folder;
  const WayResult way = OpenFolderNoLinks(linkFile.substr(0, slash), &folder);
  if (way.open != WayOpen::kOpened) {
    const bool linked = way.open == WayOpen::kLinkOnWay || way.open == WayOpen::kTopIsLink;
    log::Action(kLog, what + (linked ? L" refused: link on the way" : L": folder not opened"),
                linked ? way.at : linkFile,
                linked ? ERROR_CANT_ACCESS_FILE
                       : static_cast<long>(way.error ? way.error : ERROR_PATH_NOT_FOUND));
    return false;
  }
  std::string bytes;
  HRESULT hr = LinkBytes(target, arguments, iconIndex, &bytes);
  if (SUCCEEDED(hr)) {
    const DWORD error = WriteNewFileIn(folder.Get(), linkFile.substr(slash + 1), bytes);
    if (error) hr = HRESULT_FROM_WIN32(error);
  }
  log::Action(kLog, what, linkFile, SUCCEEDED(hr) ? 0 : static_cast<long>(hr));
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
