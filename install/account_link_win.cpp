#include "install/account_link_win.h"

#include <windows.h>

#include <shlobj.h>

#include "base/install_log.h"
#include "system/file_ops_win.h"
#include "system/handle_tree_win.h"
#include "system/registry_logged_win.h"
#include "system/registry_win.h"

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
  // A file of the user's own folder: reached by handle without a link on its
  // way, so a link the user planted cannot aim this elevated delete
  // elsewhere, and deleted through its own handle (a link as a link).
  DeleteFileNoLinks(kLog, L"delete account file", path);
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
