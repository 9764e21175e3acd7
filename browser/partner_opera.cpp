#include "browser/partner_opera.h"

#include "base/text.h"
#include "browser/json_read.h"
#include "browser/promo_rules.h"

namespace lum {

namespace {

// Depth-first; the depth is bounded by what the parser accepted.
bool FindPartnerId(const Json::Value& value) {
  if (value.isObject()) {
    for (const std::string& name : value.getMemberNames()) {
      const Json::Value& member = value[name];
      if (name == "partner_id" && member.isString() &&
          PartnerIdMatches(Utf8ToWide(member.asString())))
        return true;
      if (FindPartnerId(member)) return true;
    }
  } else if (value.isArray()) {
    for (const Json::Value& item : value)
      if (FindPartnerId(item)) return true;
  }
  return false;
}

}  // namespace

bool InstallerPrefsSingleProfile(const std::string& json) {
  Json::Value root;
  return ReadJson(json, &root) && root.isObject() && root.isMember("single_profile") &&
         root["single_profile"].isBool() && root["single_profile"].asBool();
}

bool PreferencesNamePartner(const std::string& json) {
  Json::Value root;
  return ReadJson(json, &root) && FindPartnerId(root);
}

bool TrackingDataNamesPartner(const std::string& content) {
  const size_t colon = content.find(':');
  if (colon == std::string::npos) return false;
  Json::Value root;
  if (!ReadJson(content.substr(colon + 1), &root) || !root.isObject()) return false;
  const Json::Value& utm = root["utm"];
  if (!utm.isObject() || !utm.isMember("source") || !utm["source"].isString()) return false;
  return ContainsNoCase(Utf8ToWide(utm["source"].asString()), L"Lum");
}

}  // namespace lum
