#include "install/account_link.h"

namespace lum {

namespace {

// The hash kind an edition is bound to.
int BoundHashKind(int edition) {
  if (edition == 2) return 1;
  if (edition == 3) return 2;
  return 0;
}

}  // namespace

bool AccountLinkMatches(const AccountLinkFacts& facts) {
  if (facts.baseEdition <= 0) return true;
  if (facts.hashKind != BoundHashKind(facts.baseEdition)) return false;
  if (facts.hashKind == 1 && facts.storedHashKnown) return facts.storedHash == facts.hashValue;
  return true;
}

}  // namespace lum
