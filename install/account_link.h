// Whether the installed product's account link still fits the installer that
// runs over it. Editions 2 and 3 of the base module are bound to an account
// through the hash the installer's name carries (2: the business "h2" hash,
// which the product keeps in its business hash record; 3: the "h3" hash);
// every other edition is bound to none. A run whose hash kind is not the one
// the installed edition is bound to, or whose business hash is not the one the
// product recorded, moves the machine to another account: the old account's
// records must go.
#pragma once
#include <string>

namespace lum {

struct AccountLinkFacts {
  int baseEdition = 0;         // from the base module; 0 when it cannot tell
  int hashKind = 0;            // the session's: 0 none, 1 "h2", 2 "h3"
  std::wstring hashValue;      // the session's hash text
  bool storedHashKnown = false;  // the business hash record read back before this run wrote it
  std::wstring storedHash;
};

// True when the link still matches, and whenever the facts cannot tell (an
// edition the base module cannot give, a business record that cannot be read):
// the account's records are removed only on a mismatch that is known.
bool AccountLinkMatches(const AccountLinkFacts& facts);

}  // namespace lum
