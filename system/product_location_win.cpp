#include "system/product_location_win.h"

#include <windows.h>
// These headers build on windows.h.
#include <shlobj.h>

#include "base/install_log.h"
#include "system/file_ops_win.h"
#include "system/registry_logged_win.h"
#include "system/registry_win.h"
#include "system/windows_version_win.h"

namespace lum {

std::wstring ReadProductFolder() {
  RegKey key;
  std::wstring folder;
  if (!key.Open(HKEY_LOCAL_MACHINE, kMainProgramAppPathsKey, KEY_QUERY_VALUE, RegView::k32) ||
      !key.ReadString(L"Path", &folder) || folder.empty() || !FolderExists(folder))
    return std::wstring();
  return folder;
}

namespace {
constexpr const wchar_t* kProductKey = L"SOFTWARE\\LumBastion";
constexpr const wchar_t* kUnfinishedValue = L"FirstInstallUnfinished";
}  // namespace

bool FirstInstallUnfinished() {
  RegKey key;
  DWORD value = 0;
  return key.Open(HKEY_LOCAL_MACHINE, kProductKey, KEY_QUERY_VALUE) &&
         key.ReadDword(kUnfinishedValue, &value) && value == 1;
}

bool MarkFirstInstallUnfinished(bool unfinished) {
  if (unfinished) return LoggedWriteDword("install", HKEY_LOCAL_MACHINE, kProductKey, kUnfinishedValue, 1);
  RegKey key;
  if (!key.Open(HKEY_LOCAL_MACHINE, kProductKey, KEY_SET_VALUE)) return !FirstInstallUnfinished();
  const bool removed = key.DeleteValue(kUnfinishedValue) || !FirstInstallUnfinished();
  log::Action("install", L"first install finished: mark removed",
              RegistryPlace(HKEY_LOCAL_MACHINE, kProductKey, kUnfinishedValue), removed ? 0 : 1);
  return removed;
}

std::wstring DefaultInstallDir() {
  wchar_t folder[MAX_PATH + 1] = {};
  const int which = Is64BitWindows() ? CSIDL_PROGRAM_FILESX86 : CSIDL_PROGRAM_FILES;
  if (!::SHGetSpecialFolderPathW(nullptr, folder, which, FALSE)) return std::wstring();
  std::wstring path = folder;
  if (!path.empty() && path.back() == L'\\') path.pop_back();
  return path + L"\\Lum\\Bastion";
}

std::wstring InstalledProductVersion(const std::wstring& folder) {
  FileVersion version;
  if (!ReadFileVersion(WithTrailingSlash(folder) + L"ZVVer.dll", &version)) return std::wstring();
  return version.Text();
}

}  // namespace lum
