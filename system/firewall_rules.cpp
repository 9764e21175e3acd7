#include "system/firewall_rules.h"

namespace lum {

bool AuthorizationIsCurrent(bool enabled, long scope, long ipVersion) {
  return enabled && scope == kFirewallScopeAll && ipVersion == kFirewallIpVersionAny;
}

}  // namespace lum
