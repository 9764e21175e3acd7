// Whether the Opera installed in a folder is the partner edition.
#pragma once
#include <string>

namespace lum {

// From the profile's preferences (the profile found through
// "installer_prefs.json") or the download's "server_tracking_data".
bool IsPartnerOpera(const std::wstring& operaFolder);

}  // namespace lum
