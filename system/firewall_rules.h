// The firewall section of the action script: which entries are valid and
// when an existing authorization is left alone. Pure rules; the Win32 side
// (system/firewall_win.h) drives the firewall's COM objects.
#pragma once
#include <string>
#include <vector>

namespace lum {

enum class FirewallVerb { kAdd, kRemove };

struct FirewallEntry {
  FirewallVerb verb = FirewallVerb::kAdd;
  std::wstring program;      // relative to the install folder
  std::wstring displayName;  // "add" only
};

// "add|<relative path>|<display name>" (exactly 3 fields) or
// "remove|<relative path>" (exactly 2); verbs in any case. False otherwise.
bool ParseFirewallEntry(const std::vector<std::wstring>& fields, FirewallEntry* entry);

// "<installFolder>\<relative>".
std::wstring FirewallProgramPath(const std::wstring& installFolder, const std::wstring& relative);

// An authorization that is enabled, for every address (scope 0) and any IP
// version (2) is left as it stands; anything else is replaced.
constexpr long kFirewallScopeAll = 0;
constexpr long kFirewallIpVersionAny = 2;
bool AuthorizationIsCurrent(bool enabled, long scope, long ipVersion);

}  // namespace lum
