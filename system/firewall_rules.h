// When an existing firewall authorization is left alone. Pure rule; the
// Win32 side (system/firewall_win.h) drives the firewall's COM objects, and
// the action script's [firewall] entries are read by install/action_script.
#pragma once

namespace lum {

// An authorization that is enabled, for every address (scope 0) and any IP
// version (2) is left as it stands; anything else is replaced.
constexpr long kFirewallScopeAll = 0;
constexpr long kFirewallIpVersionAny = 2;
bool AuthorizationIsCurrent(bool enabled, long scope, long ipVersion);

}  // namespace lum
