// Portable rules behind the installer's safety mends: the judgement of a
// key's DACL over entries of every type, and the rule that no recursive walk
// follows a link.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "system/key_access_rule.h"
#include "system/link_rule.h"

namespace lum {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Sid(uint8_t authority, std::vector<uint32_t> subAuthorities) {
  Bytes sid = {1, static_cast<uint8_t>(subAuthorities.size()), 0, 0, 0, 0, 0, authority};
  for (uint32_t sub : subAuthorities)
    for (int i = 0; i < 4; ++i) sid.push_back(static_cast<uint8_t>(sub >> (8 * i)));
  return sid;
}

void Put16(Bytes* b, size_t at, uint16_t v) {
  (*b)[at] = static_cast<uint8_t>(v);
  (*b)[at + 1] = static_cast<uint8_t>(v >> 8);
}

// One entry: header, then `body` (mask and SID for allowed/denied).
Bytes Ace(uint8_t type, uint8_t flags, const Bytes& body) {
  Bytes ace = {type, flags, 0, 0};
  ace.insert(ace.end(), body.begin(), body.end());
  Put16(&ace, 2, static_cast<uint16_t>(ace.size()));
  return ace;
}

Bytes MaskAndSid(uint32_t mask, const Bytes& sid) {
  Bytes body;
  for (int i = 0; i < 4; ++i) body.push_back(static_cast<uint8_t>(mask >> (8 * i)));
  body.insert(body.end(), sid.begin(), sid.end());
  return body;
}

// An ACL exactly as large as its entries, on the heap, so that the
// sanitizers see any read past its end.
Bytes Acl(const std::vector<Bytes>& aces) {
  Bytes acl = {2, 0, 0, 0, 0, 0, 0, 0};
  for (const Bytes& ace : aces) acl.insert(acl.end(), ace.begin(), ace.end());
  Put16(&acl, 2, static_cast<uint16_t>(acl.size()));
  Put16(&acl, 4, static_cast<uint16_t>(aces.size()));
  return acl;
}

KeyAccess Judge(const Bytes& acl, const Bytes& sid, uint32_t wanted) {
  // A copy of exactly that size: no slack for a misread to land in.
  std::vector<uint8_t> exact(acl);
  exact.shrink_to_fit();
  return JudgeKeyAccess(exact.data(), exact.size(), sid, wanted);
}

constexpr uint32_t kKeyAll = 0xF003F, kKeyRead = 0x20019, kGenericRead = 0x80000000u;

TEST(KeyAccessRuleTest, OtherEntryTypesAreSkippedBeforeTheirSidIsRead) {
  const Bytes admins = Sid(5, {32, 544});
  const Bytes users = Sid(5, {32, 545});
  // An object entry (type 5): its flags sit where an allowed entry keeps
  // its SID. Read as allowed, its "SID" begins like the Administrators'
  // (S-1-5 with two sub-authorities) and so is compared in full, running
  // past the end of the DACL; the entry is last on purpose.
  Bytes objectBody = {0xFF, 0xFF, 0xFF, 0xFF, 0x01, 0x02, 0, 0, 0, 0, 0, 5};
  const Bytes objectAce = Ace(5, 0, objectBody);
  // A callback entry (type 9) shares the allowed layout but is not an
  // allowed entry: it grants nothing here.
  const Bytes callbackAce = Ace(9, 0, MaskAndSid(kKeyAll, admins));
  const Bytes acl =
      Acl({Ace(kAceTypeAccessAllowed, 0, MaskAndSid(kKeyRead, admins)), callbackAce,
           Ace(kAceTypeAccessAllowed, 0, MaskAndSid(kGenericRead, users)), objectAce});
  EXPECT_EQ(KeyAccess::kNeither, Judge(acl, admins, kKeyAll));
  EXPECT_EQ(KeyAccess::kAllowed, Judge(acl, admins, kKeyRead));
  EXPECT_EQ(KeyAccess::kAllowed, Judge(acl, users, kKeyRead));  // generic read mapped
}

TEST(KeyAccessRuleTest, DenyForTheTrusteeOrEveryoneWinsAndInheritOnlyEntriesDoNotCount) {
  const Bytes system = Sid(5, {18});
  const Bytes everyone = Sid(1, {0});
  Bytes acl = Acl({Ace(kAceTypeAccessAllowed, kAceFlagInheritOnly, MaskAndSid(kKeyAll, system))});
  EXPECT_EQ(KeyAccess::kNeither, Judge(acl, system, kKeyAll));
  acl = Acl({Ace(kAceTypeAccessAllowed, 0, MaskAndSid(kKeyAll, system)),
             Ace(kAceTypeAccessDenied, 0, MaskAndSid(0x2, everyone))});
  EXPECT_EQ(KeyAccess::kDenied, Judge(acl, system, kKeyAll));
  EXPECT_EQ(KeyAccess::kAllowed, Judge(acl, system, kKeyRead));  // the deny covers none of it
  // A DACL that claims more entries or bytes than it holds is not trusted.
  Bytes truncated = Acl({Ace(kAceTypeAccessAllowed, 0, MaskAndSid(kKeyAll, system))});
  Put16(&truncated, 4, 3);
  EXPECT_EQ(KeyAccess::kNeither, Judge(truncated, system, kKeyAll));
  truncated.resize(truncated.size() - 2);
  Put16(&truncated, 4, 1);
  EXPECT_EQ(KeyAccess::kNeither, Judge(truncated, system, kKeyAll));
}

TEST(LinkRuleTest, NoRecursiveWalkFollowsALink) {
  const uint32_t junction = kAttributeDirectory | kAttributeReparsePoint;
  EXPECT_EQ(TreeEntry::kLink, ClassifyTreeEntry(junction));
  EXPECT_EQ(TreeEntry::kLink, ClassifyTreeEntry(kAttributeReparsePoint | 0x20));  // file link
  EXPECT_EQ(TreeEntry::kFolder, ClassifyTreeEntry(kAttributeDirectory | 0x1));
  EXPECT_EQ(TreeEntry::kFile, ClassifyTreeEntry(0x20));
  EXPECT_FALSE(IsLink(kAttributesInvalid));  // a missing entry is not a link
  EXPECT_EQ((std::vector<std::wstring>{L"C:\\B", L"C:\\B\\Game", L"C:\\B\\Game\\x.dat"}),
            PathsOnTheWay(L"C:\\B\\", L"Game/x.dat"));
  EXPECT_EQ((std::vector<std::wstring>{L"C:\\B", L"C:\\B\\a"}),
            PathsOnTheWay(L"C:\\B", L"\\a\\\\"));
}

TEST(LinkRuleTest, AWalkChecksEveryFolderBelowTheVolumeRoot) {
  using Paths = std::vector<std::wstring>;
  EXPECT_EQ((Paths{L"C:\\ProgramData", L"C:\\ProgramData\\LumSafe",
                   L"C:\\ProgramData\\LumSafe\\bd"}),
            FoldersOnTheWay(L"C:\\ProgramData\\LumSafe\\bd\\"));
  EXPECT_EQ((Paths{L"c:\\a", L"c:\\a\\b"}), FoldersOnTheWay(L"c:/a//b"));
  EXPECT_EQ((Paths{L"\\\\srv\\share\\a", L"\\\\srv\\share\\a\\b"}),
            FoldersOnTheWay(L"\\\\srv\\share\\a\\b"));
  EXPECT_EQ((Paths{L"\\\\?\\C:\\a"}), FoldersOnTheWay(L"\\\\?\\C:\\a"));
  EXPECT_EQ((Paths{L"\\\\?\\UNC\\srv\\share\\a"}),
            FoldersOnTheWay(L"\\\\?\\UNC\\srv\\share\\a"));
  // Nothing that could make a walk start somewhere unchecked.
  const wchar_t* const refused[] = {
      L"",         L"C:\\",          L"C:", L"C:a\\b", L"\\a\\b", L"a\\b", L"\\\\srv", L"\\\\srv\\share",
      L"\\\\\\x\\y", L"\\\\?\\Volume{1}\\a", L"C:\\a\\..\\Windows", L"C:\\a\\.\\b"};
  for (size_t i = 0; i < sizeof(refused) / sizeof(refused[0]); ++i)
    EXPECT_TRUE(FoldersOnTheWay(refused[i]).empty()) << "case " << i;
}

}  // namespace
}  // namespace lum
