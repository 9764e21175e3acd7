#include "system/system_library_win.h"

#include "base/install_log.h"
#include "system/windows_version_win.h"

namespace lum {

std::wstring SystemFolderFile(const std::wstring& name) {
  wchar_t folder[MAX_PATH + 1] = {};
  const UINT length = ::GetSystemDirectoryW(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return std::wstring();
  return std::wstring(folder, length) + L"\\" + name;
}

HMODULE LoadSystemLibrary(const wchar_t* name) {
  const std::wstring path = SystemFolderFile(name);
  if (path.empty()) return nullptr;
  HMODULE module = ::LoadLibraryW(path.c_str());
  if (module || GetWindowsVersion().AtLeast(6, 0) ||
      ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES)
    return module;
  // Windows XP: the side-by-side copy is reached by name only. The current
  // folder leaves the search for good (XP before SP1 lacks the call).
  using SetDllDirectoryFn = BOOL(WINAPI*)(const wchar_t*);
  if (auto setDllDirectory = reinterpret_cast<SetDllDirectoryFn>(reinterpret_cast<void*>(
          ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "SetDllDirectoryW"))))
    setDllDirectory(L"");
  module = ::LoadLibraryW(name);
  const DWORD error = ::GetLastError();
  log::Action("files", L"load by name (not in the system folder)", name,
              module ? 0 : static_cast<long>(error));
  ::SetLastError(error);
  return module;
}

}  // namespace lum
