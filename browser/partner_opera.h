// Recognising the partner edition of Opera from the files Opera writes: the
// installer's preferences, the profile's preferences and the tracking data
// of the download.
#pragma once
#include <string>

namespace lum {

// installer_prefs.json says the profile lives inside the Opera folder.
bool InstallerPrefsSingleProfile(const std::string& json);
// A string member "partner_id" anywhere in the JSON satisfies
// PartnerIdMatches.
bool PreferencesNamePartner(const std::string& json);
// server_tracking_data: the JSON after the first ':' has "utm" with a string
// "source" that contains "Lum" in any case.
bool TrackingDataNamesPartner(const std::string& content);

}  // namespace lum
