#include "browser/partner_opera.h"

#include "base/json.h"
#include "base/text.h"
#include "browser/promo_rules.h"

namespace lum {

namespace {

// Depth-first; the depth is bounded by what the parser accepted.
bool FindPartnerId(const JsonValue& value) {
  if (value.IsObject()) {
    for (const auto& entry : value.Members()) {
      const std::string& name = entry.first;
      const JsonValue& member = entry.second;
      if (name == "partner_id" && member.IsString() &&
          PartnerIdMatches(Utf8ToWide(member.AsString())))
        return true;
      if (FindPartnerId(member)) return true;
    }
  } else if (value.IsArray()) {
    for (const JsonValue& item : value)
      if (FindPartnerId(item)) return true;
  }
  return false;
}

}  // namespace

bool InstallerPrefsSingleProfile(const std::string& json) {
  JsonValue root;
  return ParseJson(json, &root) && root.IsObject() && root.Has("single_profile") &&
         root["single_profile"].IsBool() && root["single_profile"].AsBool();
}

bool PreferencesNamePartner(const std::string& json) {
  JsonValue root;
  return ParseJson(json, &root) && FindPartnerId(root);
}

bool TrackingDataNamesPartner(const std::string& content) {
  const size_t colon = content.find(':');
  if (colon == std::string::npos) return false;
  JsonValue root;
  if (!ParseJson(content.substr(colon + 1), &root) || !root.IsObject()) return false;
  const JsonValue& utm = root["utm"];
  if (!utm.IsObject() || !utm.Has("source") || !utm["source"].IsString()) return false;
  return ContainsNoCase(Utf8ToWide(utm["source"].AsString()), L"Lum");
}

}  // namespace lum
