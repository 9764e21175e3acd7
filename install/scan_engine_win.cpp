#include "install/scan_engine_win.h"

#include <windows.h>
// These headers build on windows.h.
#include <shlobj.h>

#include <atomic>
#include <cwchar>
#include <set>
#include <vector>

#include "base/install_log.h"
#include "base/text.h"
#include "install/bapi_helper_win.h"
#include "system/file_ops_win.h"
#include "system/folder_tree_win.h"
#include "system/link_rule.h"
#include "system/product_location_win.h"
#include "system/registry_logged_win.h"
#include "system/registry_win.h"
#include "system/walk_guard_win.h"
#include "system/win_handle_win.h"
#include "system/windows_version_win.h"

namespace lum {

namespace {

constexpr const char* kLog = "engine";
constexpr const wchar_t* kSwitchKey = L"Software\\LumBastion\\deepscan";
constexpr const wchar_t* kDeepScanKey = L"SOFTWARE\\LumBastion\\DeepScan";
constexpr const wchar_t* kLumScanKey = L"SOFTWARE\\LumSafe\\LumScan";

std::atomic<uint64_t> removedBytes{0};

// The product folder with its trailing backslash; empty when the product is
// not installed or its path is too long.
std::wstring ProductFolder() {
  const std::wstring folder = ReadProductFolder();
  if (folder.empty() || folder.size() >= MAX_PATH) return std::wstring();
  return WithTrailingSlash(folder);
}

std::wstring EngineWorkFolder(const std::wstring& product) {
  std::wstring folder;
  if (GetWindowsVersion().AtLeast(6, 2)) {
    if (product.empty()) return std::wstring();
    folder = product + L"deepscan\\temp\\";
  } else {
    wchar_t common[MAX_PATH + 1] = {};
    if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT,
                                  common)) &&
        ::GetWindowsDirectoryW(common, MAX_PATH) == 0)
      return std::wstring();
    // Every user may write to the common application data: the product's
    // folder there is made (or taken over) so that only administrators can
    // change it, and nothing is done through it when it is a link.
    const std::wstring lumSafe = WithTrailingSlash(common) + L"LumSafe";
    if (!MayWalk(kLog, L"engine work folder", lumSafe)) return std::wstring();
    const bool secured = SecureSharedProductFolder(lumSafe);
    log::Action(kLog, L"secure engine work folder", lumSafe,
                secured ? 0 : static_cast<long>(::GetLastError()));
    if (!secured) return std::wstring();
    return lumSafe + L"\\";
  }
  CreateFolderTree(folder);
  return folder;
}

// Files moved aside during one removal: the walk must not take them for
// engine files again (a ".bak" of a ".bak").
using MovedAside = std::set<std::wstring>;

void DeleteEngineFile(const std::wstring& file, bool allowRestart, MovedAside* moved) {
  if (::DeleteFileW(file.c_str())) {
    log::Action(kLog, L"delete engine file", file, 0);
    return;
  }
  const DWORD error = ::GetLastError();
  if (!allowRestart) {
    log::Action(kLog, L"delete engine file", file, static_cast<long>(error));
    return;
  }
  wchar_t aside[MAX_PATH * 2] = {};
  std::swprintf(aside, MAX_PATH * 2, L"%ls.bak", file.c_str());
  ::SetFileAttributesW(aside, FILE_ATTRIBUTE_NORMAL);
  ::DeleteFileW(aside);
  if (::MoveFileW(file.c_str(), aside)) {
    moved->insert(ToLowerAscii(aside));
    const bool scheduled = ::MoveFileExW(aside, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != FALSE;
    log::Action(kLog, L"engine file in use: moved aside, deleted at restart",
                file + L" -> " + aside, scheduled ? 0 : static_cast<long>(::GetLastError()));
    return;
  }
  CBAPIHelper& helper = CBAPIHelper::Instance();
  const bool viaModule = helper.state() == CBAPIHelper::kLoaded;
  const bool deleted = viaModule ? helper.DeleteFile(file) : ::DeleteFileW(file.c_str()) != FALSE;
  log::Action(kLog,
              viaModule ? L"delete engine file through the file module" : L"delete engine file",
              file, deleted ? 0 : static_cast<long>(::GetLastError()));
}

struct Entry {
  std::wstring path;
  DWORD attributes;
  uint64_t size;
};

// The folder's entries, listed before anything in it changes; false when the
// listing did not end normally.
bool ListFolder(const std::wstring& base, std::vector<Entry>* entries) {
  WIN32_FIND_DATAW data;
  UniqueFindHandle find(::FindFirstFileW((base + L"*.*").c_str(), &data));
  if (!find) return false;
  do {
    const std::wstring name = data.cFileName;
    if (name == L"." || name == L"..") continue;
    entries->push_back({base + name, data.dwFileAttributes,
                        (uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow});
  } while (::FindNextFileW(find.Get(), &data));
  return ::GetLastError() == ERROR_NO_MORE_FILES;
}

void DeleteEngineTree(const std::wstring& folder, bool allowRestart, MovedAside* moved) {
  std::vector<Entry> entries;
  const bool listed = ListFolder(WithTrailingSlash(folder), &entries);
  for (const Entry& entry : entries) {
    if (entry.attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
      // A link is removed as a link: what it points to is not the engine's.
      const bool removed = (entry.attributes & FILE_ATTRIBUTE_DIRECTORY)
                               ? ::RemoveDirectoryW(entry.path.c_str()) != FALSE
                               : ::DeleteFileW(entry.path.c_str()) != FALSE;
      log::Action(kLog, L"remove link", entry.path,
                  removed ? 0 : static_cast<long>(::GetLastError()));
    } else if (entry.attributes & FILE_ATTRIBUTE_DIRECTORY) {
      DeleteEngineTree(entry.path, allowRestart, moved);
    } else if (moved->count(ToLowerAscii(entry.path)) == 0) {
      ::SetFileAttributesW(entry.path.c_str(), FILE_ATTRIBUTE_NORMAL);
      removedBytes += entry.size;
      DeleteEngineFile(entry.path, allowRestart, moved);
    }
  }
  if (!listed) return;
  const bool removed = ::RemoveDirectoryW(folder.c_str()) != FALSE;
  log::Action(kLog, L"remove engine folder", folder,
              removed ? 0 : static_cast<long>(::GetLastError()));
}

// Deletes one engine folder unless a link lies on its way; a folder that is
// itself a link loses only the link.
void RemoveEngineFolder(const std::wstring& folder, bool allowRestart, MovedAside* moved) {
  WalkCheck check;
  if (MayWalk(kLog, L"remove engine folder", folder, &check)) {
    DeleteEngineTree(folder, allowRestart, moved);
    return;
  }
  if (check.start != WalkStart::kTopIsLink) return;
  const DWORD top = ::GetFileAttributesW(check.link.c_str());
  const bool removed = IsLink(top) && RemoveLink(check.link, top);
  log::Action(kLog, L"remove link", check.link, removed ? 0 : static_cast<long>(::GetLastError()));
}

}  // namespace

bool RemoveEngineSwitch(int engine) {
  if (engine != kEngineSavapi && engine != kEngineBd) return false;
  const wchar_t* name = engine == kEngineSavapi ? L"EnableAvira" : L"EnableBD";
  RegKey key;
  if (!key.Open(HKEY_LOCAL_MACHINE, kSwitchKey, KEY_SET_VALUE)) return true;
  if (key.DeleteValue(name))
    log::Action(kLog, L"delete engine switch", std::wstring(L"HKLM\\") + kSwitchKey + L" " + name,
                0);
  return true;
}

void ReleaseEngineFileModule() {
  CBAPIHelper& helper = CBAPIHelper::Instance();
  if (helper.state() != CBAPIHelper::kLoaded) return;
  helper.Unload();
  log::Action(kLog, L"unload file module", helper.modulePath(), 0);
}

bool RemoveEngineFiles(int engine, bool allowRestart) {
  if (engine != kEngineSavapi && engine != kEngineBd) return false;
  CBAPIHelper::Instance().Load();
  removedBytes = 0;
  const std::wstring product = ProductFolder();
  const std::wstring work = EngineWorkFolder(product);
  const wchar_t* sub = engine == kEngineSavapi ? L"savapi\\" : L"bd\\";
  // Without an installed product there is no engine root: never resolve the
  // engine folders against the current folder.
  const std::wstring root = product.empty() ? std::wstring() : product + L"DeepScan\\SDEng\\";
  std::vector<std::wstring> folders;
  if (!root.empty()) folders.push_back(root + sub);
  if (!work.empty()) folders.push_back(work + sub);
  MovedAside moved;
  for (const std::wstring& folder : folders)
    if (FolderExists(folder)) RemoveEngineFolder(folder, allowRestart, &moved);
  if (engine == kEngineSavapi && !root.empty()) {
    const std::wstring import = root + L"AviraImp.dll";
    if (FileExists(import) && MayWalk(kLog, L"delete engine file", root))
      DeleteEngineFile(import, allowRestart, &moved);
  }
  log::Note(kLog, L"engine " + std::to_wstring(engine) + L" removed: " +
                      std::to_wstring(removedBytes.load()) + L" bytes");
  return true;
}

uint64_t RemovedEngineBytes() { return removedBytes.load(); }

bool SetDeepScanHrmDisabled(bool disabled) {
  return LoggedWriteDword(kLog, HKEY_LOCAL_MACHINE, kDeepScanKey, L"DisableHRM", disabled ? 1 : 0);
}

bool SetCloudAnalysis(bool enabled) {
  const bool a = LoggedWriteDword(kLog, HKEY_LOCAL_MACHINE, kDeepScanKey, L"CloudAnalysis", enabled ? 1 : 0);
  const bool b = LoggedWriteDword(kLog, HKEY_LOCAL_MACHINE, kLumScanKey, L"netCheck", enabled ? 1 : 0);
  return a && b;
}

}  // namespace lum
