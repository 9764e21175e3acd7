#include "browser/browser_placeholders_win.h"

#include "base/not_built.h"

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

}  // namespace lum
