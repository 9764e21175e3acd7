#include "system/firewall_rules.h"

#include "base/text.h"

namespace lum {

bool ParseFirewallEntry(const std::vector<std::wstring>& fields, FirewallEntry* entry) {
  if (fields.empty()) return false;
  if (EqualsNoCase(fields[0], L"add") && fields.size() == 3) {
    *entry = {FirewallVerb::kAdd, fields[1], fields[2]};
    return true;
  }
  if (EqualsNoCase(fields[0], L"remove") && fields.size() == 2) {
    *entry = {FirewallVerb::kRemove, fields[1], std::wstring()};
    return true;
  }
  return false;
}

std::wstring FirewallProgramPath(const std::wstring& installFolder, const std::wstring& relative) {
  return installFolder + L"\\" + relative;
}

bool AuthorizationIsCurrent(bool enabled, long scope, long ipVersion) {
  return enabled && scope == kFirewallScopeAll && ipVersion == kFirewallIpVersionAny;
}

}  // namespace lum
