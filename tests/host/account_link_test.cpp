// The account-link decision of a reinstall and the component scan's choice of
// other products' real-time file monitors.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "install/account_link.h"
#include "install/component_scan.h"

namespace lum {
namespace {

AccountLinkFacts Facts(int edition, int kind, const wchar_t* hash, const wchar_t* stored = nullptr) {
  AccountLinkFacts facts;
  facts.baseEdition = edition;
  facts.hashKind = kind;
  facts.hashValue = hash;
  facts.storedHashKnown = stored != nullptr;
  if (stored) facts.storedHash = stored;
  return facts;
}

TEST(AccountLink, OnlyAKnownMismatchOfEditionOrBusinessHashDropsTheLink) {
  // Unbound editions stay with plain runs; a hash run moves them to an account.
  EXPECT_TRUE(AccountLinkMatches(Facts(1, 0, L"")));
  EXPECT_FALSE(AccountLinkMatches(Facts(1, 1, L"abc")));
  EXPECT_FALSE(AccountLinkMatches(Facts(1, 2, L"abc")));
  // The business edition keeps its link for the same business hash only.
  EXPECT_TRUE(AccountLinkMatches(Facts(2, 1, L"abc", L"abc")));
  EXPECT_FALSE(AccountLinkMatches(Facts(2, 1, L"abc", L"ABC")));
  EXPECT_TRUE(AccountLinkMatches(Facts(2, 1, L"abc")));  // no readable record: cannot tell
  EXPECT_FALSE(AccountLinkMatches(Facts(2, 0, L"")));
  EXPECT_FALSE(AccountLinkMatches(Facts(2, 2, L"abc", L"abc")));
  // The "h3" edition is bound to the "h3" kind; it has no stored record.
  EXPECT_TRUE(AccountLinkMatches(Facts(3, 2, L"xyz", L"other")));
  EXPECT_FALSE(AccountLinkMatches(Facts(3, 1, L"xyz", L"xyz")));
  // A base module that cannot give its edition never costs the user his account.
  EXPECT_TRUE(AccountLinkMatches(Facts(0, 1, L"abc", L"other")));
  EXPECT_TRUE(AccountLinkMatches(Facts(-1, 2, L"abc")));
}

TEST(ComponentScan, FindsOtherProductsAntivirusFiltersOnly) {
  std::vector<ServiceFacts> services = {
      {L"OtherAv", L"Other Antivirus Filter", L"FSFilter Anti-Virus", 0, false},
      {L"quietav", L"", L" fsfilter anti-virus ", 2, false},                 // no display name
      {L"LumAvFlt", L"Lum file monitor", L"FSFilter Anti-Virus", 3, false},   // our own
      {L"WdFilter", L"System antivirus", L"FSFilter Anti-Virus", 0, false},   // stands down
      {L"OffAv", L"Disabled", L"FSFilter Anti-Virus", 4, false},
      {L"GoneAv", L"Being removed", L"FSFilter Anti-Virus", 1, true},
      {L"Backup", L"Backup filter", L"FSFilter Continuous Backup", 0, false},
      {L"Tcpip", L"TCP/IP", L"PNP_TDI", 0, false},
  };
  const std::vector<ComponentEntry> found = OtherFileMonitors(services);
  ASSERT_EQ(2u, found.size());
  EXPECT_EQ(L"OtherAv", found[0].name);
  EXPECT_EQ(L"Other Antivirus Filter", found[0].displayName);
  EXPECT_EQ(L"quietav", found[1].name);
  EXPECT_EQ(L"quietav", found[1].displayName);
  EXPECT_TRUE(OtherFileMonitors({}).empty());
}

}  // namespace
}  // namespace lum
