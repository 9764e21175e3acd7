#include "install/installed_product_win.h"

#include <windows.h>

#include "base/install_log.h"
#include "system/file_ops_win.h"
#include "system/product_location_win.h"
#include "system/windows_version_win.h"

namespace lum {

InstalledProductFacts& InstalledFacts() {
  static InstalledProductFacts facts;
  return facts;
}

void CollectInstalledProductFacts() {
  InstalledProductFacts& facts = InstalledFacts();
  facts.osText = OsText();
  facts.folder = ReadProductFolder();
  if (facts.folder.empty()) return;
  facts.version = InstalledProductVersion(facts.folder);
  const std::wstring config = WithTrailingSlash(facts.folder) + L"config.ini";
  auto read = [&config](const wchar_t* key, const wchar_t* def) {
    wchar_t value[101] = {};
    ::GetPrivateProfileStringW(L"UI", key, def, value, 100, config.c_str());
    return std::wstring(value);
  };
  facts.language = read(L"language", L"en");
  facts.channel = read(L"channel", L"");
  facts.subChannel = read(L"schannel", L"");
  if (facts.channel.empty() || facts.channel == L" ") facts.channel = L"0";
  if (facts.subChannel.empty() || facts.subChannel == L" ") facts.subChannel = L"0";
  log::Note("startup", L"installed product " + facts.version + L" in " + facts.folder);
}

}  // namespace lum
