#include "app/session_environment_win.h"

#include <windows.h>

#include <vector>

#include "base/install_log.h"
#include "install/pre_install_checks_win.h"
#include "payload/resource_file_win.h"
#include "system/file_ops_win.h"
#include "system/product_location_win.h"
#include "system/registry_win.h"
#include "system/windows_version_win.h"

namespace lum {

ConflictInfo WinSessionEnvironment::FindConflictingProduct() {
  return lum::FindConflictingProduct();
}

bool WinSessionEnvironment::LoadLanguageTable(IniTable& table) {
  return table.LoadFromResource(kFileResourceType, kResLanguageTable);
}

bool WinSessionEnvironment::ActionScriptHasSection(const std::wstring& name) {
  return IniTable::HasSection(kFileResourceType, kResActionScript, name);
}

uint64_t WinSessionEnvironment::PhysicalMemoryBytes() {
  if (!memoryRead_) {
    MEMORYSTATUSEX status = {};
    status.dwLength = sizeof(status);
    memoryBytes_ = ::GlobalMemoryStatusEx(&status) ? status.ullTotalPhys : 0;
    memoryRead_ = true;
  }
  return memoryBytes_;
}

std::wstring WinSessionEnvironment::ProductFolder() { return ReadProductFolder(); }

bool WinSessionEnvironment::FirstInstallUnfinished() { return lum::FirstInstallUnfinished(); }

SystemLanguageFacts WinSessionEnvironment::SystemLanguage() {
  SystemLanguageFacts facts;
  facts.uiLanguage = ::GetUserDefaultUILanguage();
  facts.geoNation = static_cast<int>(::GetUserGeoID(GEOCLASS_NATION));
  facts.ansiCodePage = ::GetACP();
  const int count = ::GetKeyboardLayoutList(0, nullptr);
  if (count > 0) {
    std::vector<HKL> layouts(static_cast<size_t>(count));
    const int got = ::GetKeyboardLayoutList(count, layouts.data());
    for (int i = 0; i < got; ++i)
      facts.keyboardLanguages.push_back(
          LOWORD(reinterpret_cast<ULONG_PTR>(layouts[static_cast<size_t>(i)])));
  }
  return facts;
}

std::wstring WinSessionEnvironment::InstalledProductLanguage(const std::wstring& installDir) {
  const std::wstring config = WithTrailingSlash(installDir) + L"config.ini";
  wchar_t value[101] = {};
  ::GetPrivateProfileStringW(L"UI", L"language", L"", value, 100, config.c_str());
  return value;
}

std::wstring WinSessionEnvironment::InstalledVersion(const std::wstring& installDir) {
  return InstalledProductVersion(installDir);
}

}  // namespace lum
