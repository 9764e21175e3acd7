#include "browser/browser_extensions_win.h"

#include <windows.h>

#include "base/install_log.h"
#include "base/text.h"
#include "browser/browser_config.h"
#include "browser/browser_detect_win.h"
#include "browser/firefox_profiles.h"
#include "system/file_bytes_win.h"
#include "system/file_ops_win.h"
#include "system/product_location_win.h"
#include "system/registry_win.h"
#include "system/walk_guard_win.h"
#include "system/win_handle_win.h"

namespace lum {

namespace {

constexpr const char* kLog = "browser";
constexpr const wchar_t* kChromeClientState =
    L"SOFTWARE\\Google\\Update\\ClientState\\{8A69D345-D564-463c-AFF1-A69D9E530F96}";

std::wstring ExpandedAppData() {
  wchar_t buffer[MAX_PATH + 1] = {};
  const DWORD length = ::ExpandEnvironmentStringsW(L"%appdata%", buffer, MAX_PATH);
  if (length == 0 || length > MAX_PATH) return std::wstring();
  const std::wstring text(buffer);
  return text.find(L'%') == std::wstring::npos ? text : std::wstring();
}

bool ChromeInstalled() {
  for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
    RegKey key;
    std::wstring value;
    if (key.Open(root, kChromeClientState, KEY_QUERY_VALUE) &&
        key.ReadString(L"UninstallString", &value))
      return true;
  }
  return false;
}

// "Install" of the product's proxy module; false when it cannot be called.
bool CallProxyInstall(const std::wstring& proxy) {
  UniqueModule module(::LoadLibraryExW(proxy.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
  if (!module) {
    log::Action(kLog, L"load browser proxy module", proxy, static_cast<long>(::GetLastError()));
    return false;
  }
  using InstallEntry = int(WINAPI*)();
  auto install = reinterpret_cast<InstallEntry>(
      reinterpret_cast<void*>(::GetProcAddress(module.Get(), "Install")));
  if (!install) {
    log::Action(kLog, L"browser proxy module: no \"Install\"", proxy, ERROR_PROC_NOT_FOUND);
    return false;
  }
  const int answer = install();
  log::Action(
      kLog,
      L"browser proxy \"Install\" (registers the Chrome host) answered " + std::to_wstring(answer),
      proxy, 0);
  return true;
}

}  // namespace

std::wstring ProductFolderForBrowsers() {
  const std::wstring folder = ReadProductFolder();
  if (folder.empty() || folder.size() >= MAX_PATH) return std::wstring();
  return WithTrailingSlash(folder);
}

bool RegisterNativeHost(const std::wstring& hostKey, const std::wstring& manifestPath) {
  const std::wstring key = hostKey + L"\\" + kNativeHostName;
  bool all = true;
  for (RegView view : {RegView::k32, RegView::k64}) {
    RegKey reg;
    const bool ok = reg.Create(HKEY_LOCAL_MACHINE, key, KEY_SET_VALUE, view) &&
                    reg.WriteString(L"", manifestPath);
    log::Action(kLog,
                std::wstring(L"register native host (") + (view == RegView::k32 ? L"32" : L"64") +
                    L"-bit view) = \"" + manifestPath + L"\"",
                L"HKLM\\" + key, ok ? 0 : reg.LastError());
    all = ok && all;
  }
  return all;
}

bool ChromeExtensionPresent() {
  BrowserRecord chrome;
  if (DetectChrome(&chrome)) {
    // Joined to the executable's path as to a folder: the first ".." leaves
    // the file, the second "Application".
    const std::wstring folder =
        chrome.path + L"\\..\\..\\User Data\\Default\\Extensions\\" + kChromeExtensionId;
    if (FolderExists(folder)) return true;
  }
  const std::wstring appData = ExpandedAppData();
  if (appData.empty()) return false;
  const std::wstring tail =
      std::wstring(L"Google\\Chrome\\User Data\\Default\\Extensions\\") + kChromeExtensionId;
  return FolderExists(WithTrailingSlash(appData) + L"..\\Local\\" + tail) ||
         FolderExists(WithTrailingSlash(appData) + L"..\\Local Settings\\Application Data\\" +
                      tail);
}

bool RegisterChromeExtension() {
  if (!ChromeInstalled()) {
    log::Note(kLog, L"Chrome is not installed: no external extension");
    return false;
  }
  if (ChromeExtensionPresent()) {
    log::Note(kLog, L"the extension is already in Chrome's default profile");
    return false;
  }
  const std::wstring key = std::wstring(kChromeExtensionsKey) + L"\\" + kChromeExtensionId;
  RegKey reg;
  const bool ok = reg.Create(HKEY_LOCAL_MACHINE, key, KEY_SET_VALUE, RegView::k32) &&
                  reg.WriteString(L"update_url", kChromeStoreUpdateUrl);
  log::Action(kLog, L"offer the extension to Chrome (update_url)", L"HKLM\\" + key,
              ok ? 0 : reg.LastError());
  return ok;
}

void RegisterBrowserIntegration(const std::wstring& installDir, const SessionSettings& session) {
  const std::wstring product = ProductFolderForBrowsers();
  const std::wstring proxy = WithTrailingSlash(installDir) + L"safemon\\SomProxy.dll";
  if (!FileExists(proxy) || !CallProxyInstall(proxy))
    RegisterNativeHost(kChromeHostKey,
                       product.empty() ? L"" : product + L"safemon\\chrome\\manifest.json");
  if (!session.productInstalled) RegisterChromeExtension();
  RegisterNativeHost(kFirefoxHostKey,
                     product.empty() ? L"" : product + L"safemon\\chrome\\manifest_firefox.json");
}

bool RefreshFirefoxExtension() {
  const std::wstring product = ProductFolderForBrowsers();
  if (product.empty()) return false;
  const std::wstring folder = product + L"safemon\\webprotection_firefox";
  RegKey key;
  if (!key.Open(HKEY_LOCAL_MACHINE, kFirefoxExtensionsKey, KEY_QUERY_VALUE)) return false;
  wchar_t value[131] = {};
  DWORD type = 0;
  DWORD bytes = sizeof(value) - sizeof(wchar_t);
  if (::RegQueryValueExW(key.Get(), kFirefoxExtensionId, nullptr, &type,
                         reinterpret_cast<BYTE*>(value), &bytes) != ERROR_SUCCESS ||
      type != REG_SZ)
    return false;
  std::wstring registered(value, bytes / sizeof(wchar_t));
  while (!registered.empty() && registered.back() == L'\0') registered.pop_back();
  if (!EqualsNoCase(registered, folder)) return false;

  UniqueFileHandle rdf(::CreateFileW((folder + L"\\install.rdf").c_str(), GENERIC_WRITE,
                                     FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  if (!rdf) {
    log::Action(kLog, L"refresh Firefox extension: no install.rdf", folder,
                static_cast<long>(::GetLastError()));
    return false;
  }
  // Firefox keeps caches of the extension beside it; they must go with the change.
  const bool mayDelete = MayWalk(kLog, L"delete extension cache files", folder);
  for (const wchar_t* pattern : {L"*.tmp", L"*.db"}) {
    if (!mayDelete) break;
    WIN32_FIND_DATAW found = {};
    UniqueFindHandle find(::FindFirstFileW((folder + L"\\" + pattern).c_str(), &found));
    if (!find) continue;
    do {
      if (found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT))
        continue;
      const std::wstring file = folder + L"\\" + found.cFileName;
      log::Action(kLog, L"delete extension cache file", file,
                  ::DeleteFileW(file.c_str()) ? 0 : static_cast<long>(::GetLastError()));
    } while (::FindNextFileW(find.Get(), &found));
  }
  FILETIME now = {};
  ::GetSystemTimeAsFileTime(&now);
  const bool touched = ::SetFileTime(rdf.Get(), nullptr, nullptr, &now) != FALSE;
  log::Action(kLog, L"refresh Firefox extension (install.rdf touched)", folder,
              touched ? 0 : static_cast<long>(::GetLastError()));
  return touched;
}

std::wstring FirstFirefoxProfile() {
  const std::wstring appData = ExpandedAppData();
  if (appData.empty()) return std::wstring();
  const std::wstring firefox = WithTrailingSlash(appData) + L"Mozilla\\Firefox";
  std::vector<uint8_t> bytes;
  // profiles.ini lists a handful of profiles; anything large is not it.
  WIN32_FILE_ATTRIBUTE_DATA data = {};
  const std::wstring ini = firefox + L"\\profiles.ini";
  if (!::GetFileAttributesExW(ini.c_str(), GetFileExInfoStandard, &data) ||
      data.nFileSizeHigh != 0 || data.nFileSizeLow > (1u << 20) || !ReadFileBytes(ini, &bytes))
    return std::wstring();
  const std::wstring text = Utf8ToWide(std::string(bytes.begin(), bytes.end()));
  for (const FirefoxProfileEntry& entry : ParseFirefoxProfiles(text)) {
    const std::wstring folder = FirefoxProfileFolder(firefox, entry);
    if (!folder.empty() && FolderExists(folder)) return folder;
  }
  return std::wstring();
}

std::wstring OldFirefoxExtensionFolder() {
  const std::wstring profile = FirstFirefoxProfile();
  if (profile.empty()) return std::wstring();
  return WithTrailingSlash(profile) + L"extensions\\" + kOldFirefoxExtensionId;
}

}  // namespace lum
