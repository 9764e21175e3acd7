#include "vendor/product_modules_win.h"

#include <windows.h>

#include <cstring>
#include <map>
#include <mutex>
#include <string>

#include "base/install_log.h"
#include "system/file_ops_win.h"
#include "system/held_file_win.h"
#include "system/product_location_win.h"
#include "system/win_handle_win.h"
#include "vendor/base_module_win.h"
#include "vendor/lum_dll_helper_win.h"

namespace lum {

namespace {

constexpr const char* kLog = "vendor";
constexpr wchar_t kUtilityModule[] = L"Lumutil.dll";
constexpr wchar_t kCommonModule[] = L"LumBNCommon.dll";
constexpr const char* kCommonExports[] = {
    "OpenLinkLowPermission", "OpenBrowser", "ShowPromotion", "GetThemeName", "ValidateTheme",
    "OpenLinkByBrowserLowPermission", "IsOperaLume", "IsOperaLumeByAppPath", "GetEdition",
    "PromoOpera", "PromoBoottime", "PromoUpgradeNow", "PromoMedal", "PromoPopup",
    "PromoReminder", "PromoNews", "PromoAutoPopup", "PromoFullCheck", "PromoDesktopPlus",
    "GetMachineSpec", "UpdateToolUsageCount", "GetToolUsageCount", "TriggerToolPromotion"};

// The path of one of the product's modules when it exists and the base module
// vouches for it; empty (and logged) otherwise. The file is left open in
// `held`, sharing reading only, for the caller to keep until the load: the
// file vouched for cannot be changed, renamed or replaced before the loader
// maps it.
std::wstring TrustedProductModule(const wchar_t* name, UniqueFileHandle* held) {
  const std::wstring folder = ReadProductFolder();
  if (folder.empty()) return std::wstring();
  const std::wstring path = WithTrailingSlash(folder) + name;
  if (!FileExists(path)) {
    log::Note(kLog, std::wstring(name) + L" is not installed");
    return std::wstring();
  }
  if (!OpenHeldFile(path, held)) {
    log::Action(kLog, L"load product module: cannot be held (a link, or being written), refused",
                path, static_cast<long>(::GetLastError()));
    return std::wstring();
  }
  log::Action(kLog, L"load product module: held for its check", path, 0);
  int kind = -1;
  if (!VerifyFile(path, &kind)) {
    held->Reset();
    log::Action(kLog, L"load product module: untrusted, refused", path, ERROR_ACCESS_DENIED);
    return std::wstring();
  }
  return path;
}

struct CommonModule {
  std::mutex lock;
  HMODULE module = nullptr;
  std::map<std::string, void*> exports;
  bool editionRead = false;
  int edition = 0;
};

CommonModule& Common() {
  static CommonModule* common = new CommonModule;  // lives as long as the process
  return *common;
}

// Caller holds the lock.
bool LoadCommonLocked(CommonModule& common) {
  if (common.module) return true;
  UniqueFileHandle held;
  const std::wstring path = TrustedProductModule(kCommonModule, &held);
  if (path.empty()) return false;
  common.module = ::LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  held.Reset();
  log::Action(kLog, L"load common module", path,
              common.module ? 0 : static_cast<long>(::GetLastError()));
  if (!common.module) return false;
  common.exports.clear();
  for (const char* name : kCommonExports)
    if (FARPROC address = ::GetProcAddress(common.module, name))
      common.exports[name] = reinterpret_cast<void*>(address);
  return true;
}

}  // namespace

bool OpenLinkWithLoweredRights(const std::wstring& url) {
  using Utility = CLumPublicDLLHelper<CLumUtilExportFuncs>;
  Utility& utility = Utility::Instance();
  if (!utility.Loaded()) {
    UniqueFileHandle held;
    const std::wstring path = TrustedProductModule(kUtilityModule, &held);
    if (path.empty()) return false;
    bool decidedNow = false;
    const bool loaded = utility.Load(path, &decidedNow);
    held.Reset();
    if (decidedNow) log::Action(kLog, L"bind utility module", path, loaded ? 0 : 1);
    if (!loaded) return false;
  }
  auto openLink = reinterpret_cast<OpenLinkFn>(utility.Entry(kUtilEntryOpenLink));
  if (!openLink) {
    log::Action(kLog, L"utility module has no link opening", url, 1);
    return false;
  }
  const int answer = openLink(nullptr, L"open", url.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  log::Action(kLog, L"open link through the utility module (answer " + std::to_wstring(answer) + L")",
              url, answer > 32 ? 0 : 1);
  return answer > 32;
}

int CommonModuleEdition() {
  CommonModule& common = Common();
  std::lock_guard<std::mutex> hold(common.lock);
  if (common.editionRead) return common.edition;
  common.editionRead = true;
  if (!LoadCommonLocked(common)) return common.edition;
  const auto found = common.exports.find("GetEdition");
  if (found != common.exports.end())
    common.edition = reinterpret_cast<CommonGetEditionFn>(found->second)(nullptr, 0);
  log::Note(kLog, L"common module edition " + std::to_wstring(common.edition));
  return common.edition;
}

void* CommonModuleExport(const char* name) {
  CommonModule& common = Common();
  std::lock_guard<std::mutex> hold(common.lock);
  const auto found = common.exports.find(name ? name : "");
  return common.module && found != common.exports.end() ? found->second : nullptr;
}

bool UnloadCommonModule() {
  CommonModule& common = Common();
  std::lock_guard<std::mutex> hold(common.lock);
  if (!common.module) return false;
  const bool freed = ::FreeLibrary(common.module) != FALSE;
  log::Action(kLog, L"unload common module", kCommonModule,
              freed ? 0 : static_cast<long>(::GetLastError()));
  common.module = nullptr;
  common.exports.clear();
  return freed;
}

}  // namespace lum
