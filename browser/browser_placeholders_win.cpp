#include "browser/browser_placeholders_win.h"

#include <windows.h>
#include <shellapi.h>

#include "base/install_log.h"
#include "base/not_built.h"
#include "browser/open_link_win.h"

namespace lum {

bool OpenLinkWithLoweredRights(const std::wstring&) {
  LogNotBuilt(L"utility module link opening", "startup");
  return false;
}

bool RemoveOldFirefoxExtension() {
  LogNotBuilt(L"old browser extension removal", "install");
  return false;
}

bool RefreshFirefoxExtension() {
  LogNotBuilt(L"browser extension refresh", "install");
  return false;
}

void SetIntroFlags() { LogNotBuilt(L"introduction flags", "install"); }

bool PartnerOfferAccepted() { return false; }

int PartnerOfferMode() {
  LogNotBuilt(L"partner offer", "startup");
  return 0;
}

bool PartnerOfferEnabled() {
  LogNotBuilt(L"partner offer switch", "startup");
  return false;
}

bool RegisterBrowserHosts(const std::wstring&, bool) {
  LogNotBuilt(L"browser hosts and extension", "install");
  return false;
}

// Until the browser choice is built, the shell's association decides.
bool OpenLink(const std::wstring& url, int) {
  LogNotBuilt(L"browser choice for links", "ui");
  if (url.empty()) return false;
  const INT_PTR opened = reinterpret_cast<INT_PTR>(
      ::ShellExecuteW(nullptr, L"open", url.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
  log::Action("ui", L"open link", url, opened > 32 ? 0 : static_cast<long>(opened));
  return opened > 32;
}

}  // namespace lum
