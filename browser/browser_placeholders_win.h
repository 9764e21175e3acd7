// Browser and partner steps of the install run. Not built yet: each logs so
// and answers "not done"; none of them fails the install.
#pragma once
#include <string>

namespace lum {

// Opens `url` through the product's utility module with lowered rights.
bool OpenLinkWithLoweredRights(const std::wstring& url);
bool RemoveOldFirefoxExtension();
// The Firefox extension's registration, renewed in the driver pass.
bool RefreshFirefoxExtension();
void SetIntroFlags();
bool PartnerOfferAccepted();
// Partner-offer mode for the session's promotion list (2: left to the installer).
int PartnerOfferMode();
// The promotion list switches the partner offer on ("opera_ins").
bool PartnerOfferEnabled();
// The browser hosts and extension (through the product's proxy module when present).
bool RegisterBrowserHosts(const std::wstring& installDir, bool firstInstall);

}  // namespace lum
