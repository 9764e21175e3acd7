#include "install/account_link_win.h"

#include <windows.h>

#include <shlobj.h>

#include "base/install_log.h"
#include "system/file_ops_win.h"
#include "system/registry_logged_win.h"
#include "system/registry_win.h"
#include "system/walk_guard_win.h"

namespace lum {

namespace {

constexpr const char* kLog = "install";

std::wstring AccountFolder() {
  wchar_t folder[MAX_PATH + 1] = {};
  if (!::SHGetSpecialFolderPathW(nullptr, folder, CSIDL_APPDATA, FALSE) || folder[0] == L'\0')
    return std::wstring();
  return WithTrailingSlash(folder) + L"LumBastion\\LumConnect\\";
}

std::wstring InAccountFolder(const wchar_t* name) {
  const std::wstring folder = AccountFolder();
  return folder.empty() ? folder : folder + name;
}

void DeleteAccountFile(const std::wstring& path) {
  if (path.empty() || !FileExists(path)) return;
  // A file of the user's own folder: its parents are checked so that a link
  // the user planted cannot aim this elevated delete elsewhere. The file
  // itself, when a link, goes as a link.
  const std::wstring folder = path.substr(0, path.find_last_of(L'\\'));
  if (!MayWalk(kLog, L"delete account file", folder)) return;
  log::Action(kLog, L"delete account file", path,
              ::DeleteFileW(path.c_str()) ? 0 : static_cast<long>(::GetLastError()));
}

void DeleteKey(const wchar_t* key) {
  if (!RegKey::Exists(HKEY_CURRENT_USER, key)) return;
  log::Action(kLog, L"delete key", RegistryPlace(HKEY_CURRENT_USER, key, L""),
              RegKey::DeleteTree(HKEY_CURRENT_USER, key) ? 0 : 1);
}

}  // namespace

std::wstring AccountActivityLogPath() { return InAccountFolder(L"activity.log"); }
std::wstring ProfilePicturePath() { return InAccountFolder(L"avatar.png"); }

void DeleteProfilePicture() { DeleteAccountFile(ProfilePicturePath()); }

void RemoveAccountRecords() {
  DeleteAccountFile(AccountActivityLogPath());
  DeleteProfilePicture();
  DeleteKey(kAccountProfileKey);
  DeleteKey(kAccountLinkKey);
}

}  // namespace lum
