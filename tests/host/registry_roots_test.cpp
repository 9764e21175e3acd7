// Registry naming rules, the per-user key mapping, ancestor chains, the
// access-rights repair plan and the firewall entry rules.
#include "system/registry_roots.h"

#include <gtest/gtest.h>

#include "system/acl_repair_plan.h"
#include "system/firewall_rules.h"

namespace lum {
namespace {

TEST(RegistryRootsTest, ShortAndLongNamesInAnyCase) {
  EXPECT_EQ(RegRoot::kCurrentUser, RootFromName(L"hkcu"));
  EXPECT_EQ(RegRoot::kCurrentUser, RootFromName(L"HKEY_CURRENT_USER"));
  EXPECT_EQ(RegRoot::kCurrentConfig, RootFromName(L"hkey_current_config"));
  EXPECT_EQ(RegRoot::kDynData, RootFromName(L"HKDD"));
  EXPECT_EQ(RegRoot::kNone, RootFromName(L"HKCU\\"));
  EXPECT_EQ(RegRoot::kNone, RootFromName(L""));
  EXPECT_EQ(L"HKLM", NameFromRoot(RegRoot::kLocalMachine));
  EXPECT_EQ(L"", NameFromRoot(RegRoot::kNone));
}

TEST(RegistryRootsTest, SecurityObjectNamesExistForFourRootsOnly) {
  EXPECT_EQ(L"MACHINE\\Software\\LumBastion",
            RegistryObjectName(RegRoot::kLocalMachine, L"Software\\LumBastion"));
  EXPECT_EQ(L"CURRENT_USER", RegistryObjectName(RegRoot::kCurrentUser, L""));
  EXPECT_EQ(L"USERS\\S-1-5-18", RegistryObjectName(RegRoot::kUsers, L"S-1-5-18"));
  EXPECT_EQ(L"CLASSES_ROOT\\.txt", RegistryObjectName(RegRoot::kClassesRoot, L".txt"));
  EXPECT_EQ(L"", RegistryObjectName(RegRoot::kCurrentConfig, L"System"));
}

TEST(RegistryRootsTest, NativeNamesMapToRootsWithTheCurrentUserFirst) {
  const std::wstring prefix =
      CurrentUserPrefixFromSoftwareName(L"\\REGISTRY\\USER\\S-1-5-21-1-2-3-1000\\Software");
  EXPECT_EQ(L"\\REGISTRY\\USER\\S-1-5-21-1-2-3-1000\\", prefix);
  EXPECT_EQ(L"", CurrentUserPrefixFromSoftwareName(L"\\Software"));

  RegRoot root = RegRoot::kNone;
  std::wstring path;
  ASSERT_TRUE(ResolveNativeKeyName(L"\\REGISTRY\\User\\S-1-5-21-1-2-3-1000\\Software\\Lum", prefix,
                                   &root, &path));
  EXPECT_EQ(RegRoot::kCurrentUser, root);
  EXPECT_EQ(L"Software\\Lum", path);
  ASSERT_TRUE(ResolveNativeKeyName(L"\\REGISTRY\\USER\\S-1-5-21-9-9-9-1001\\Environment", prefix,
                                   &root, &path));
  EXPECT_EQ(RegRoot::kUsers, root);
  EXPECT_EQ(L"S-1-5-21-9-9-9-1001\\Environment", path);
  ASSERT_TRUE(ResolveNativeKeyName(L"\\Registry\\Machine\\Software\\X", L"", &root, &path));
  EXPECT_EQ(RegRoot::kLocalMachine, root);
  EXPECT_EQ(L"Software\\X", path);
  EXPECT_FALSE(ResolveNativeKeyName(L"\\REGISTRY\\A\\B", prefix, &root, &path));
  EXPECT_FALSE(ResolveNativeKeyName(L"", prefix, &root, &path));
}

TEST(RegistryRootsTest, UserKeysMapIntoTheUsersOwnHives) {
  RegRoot root = RegRoot::kNone;
  std::wstring path;
  const std::wstring sid = L"S-1-5-21-1-2-3-1001";
  ASSERT_TRUE(MapUserKeyPath(RegRoot::kCurrentUser, L"Software\\Lum", sid, &root, &path));
  EXPECT_EQ(RegRoot::kUsers, root);
  EXPECT_EQ(sid + L"\\Software\\Lum", path);
  ASSERT_TRUE(MapUserKeyPath(RegRoot::kCurrentUser, L"SOFTWARE\\classes\\.lum", sid, &root, &path));
  EXPECT_EQ(sid + L"_Classes\\.lum", path);
  ASSERT_TRUE(MapUserKeyPath(RegRoot::kCurrentUser, L"Software\\Classes", sid, &root, &path));
  EXPECT_EQ(sid + L"_Classes", path);
  // Only the "Classes" key itself, not a sibling that starts alike.
  ASSERT_TRUE(MapUserKeyPath(RegRoot::kCurrentUser, L"Software\\ClassesX", sid, &root, &path));
  EXPECT_EQ(sid + L"\\Software\\ClassesX", path);

  EXPECT_FALSE(MapUserKeyPath(RegRoot::kCurrentUser, L"", sid, &root, &path));
  EXPECT_FALSE(MapUserKeyPath(RegRoot::kLocalMachine, L"Software", sid, &root, &path));
  EXPECT_EQ(RegRoot::kLocalMachine, root);
  EXPECT_EQ(L"Software", path);

  EXPECT_TRUE(IsShortSid(L"S-1-5-18"));
  EXPECT_FALSE(IsShortSid(sid));
}

TEST(RegistryRootsTest, ClassesAreSharedBetweenViewsButCOMRegistrationsAreNot) {
  EXPECT_TRUE(SharedBetweenRegistryViews(RegRoot::kClassesRoot, L"http\\shell\\open\\command"));
  EXPECT_TRUE(SharedBetweenRegistryViews(RegRoot::kCurrentUser, L"Software\\Classes\\http"));
  EXPECT_TRUE(SharedBetweenRegistryViews(RegRoot::kLocalMachine, L"SOFTWARE\\CLASSES"));
  EXPECT_FALSE(SharedBetweenRegistryViews(RegRoot::kClassesRoot, L"clsid\\{871D8DC2}"));
  EXPECT_FALSE(SharedBetweenRegistryViews(RegRoot::kLocalMachine, L"Software\\Classes\\Interface"));
  EXPECT_FALSE(SharedBetweenRegistryViews(RegRoot::kClassesRoot, L"Wow6432Node\\http"));
  // Outside the classes nothing is shared by this rule.
  EXPECT_FALSE(SharedBetweenRegistryViews(RegRoot::kLocalMachine, L"Software\\LumBastion"));
  EXPECT_FALSE(SharedBetweenRegistryViews(RegRoot::kLocalMachine, L"Software\\ClassesX\\http"));
  EXPECT_FALSE(SharedBetweenRegistryViews(RegRoot::kUsers, L"S-1-5-18_Classes\\http"));
}

TEST(RegistryRootsTest, AncestorChainsStopBeforeTheDrive) {
  EXPECT_EQ((std::vector<std::wstring>{L"C:\\a\\b\\c", L"C:\\a\\b", L"C:\\a"}),
            AncestorChain(L"C:\\a\\b\\c\\"));
  EXPECT_EQ((std::vector<std::wstring>{L"Software\\LumBastion", L"Software"}),
            AncestorChain(L"Software\\LumBastion"));
  EXPECT_EQ((std::vector<std::wstring>{L"C:/x/y", L"C:/x"}), AncestorChain(L"C:/x/y//"));
  EXPECT_EQ((std::vector<std::wstring>{L"C:\\a\\b\\c", L"C:\\a\\b"}),
            AncestorChain(L"C:\\a\\b\\c", 2));
  EXPECT_TRUE(AncestorChain(L"C:\\").empty());
  EXPECT_TRUE(AncestorChain(L"").empty());
}

TEST(AclRepairPlanTest, KeysThenFoldersWithRightsByAccountAndAdminState) {
  AclRepairFacts facts;
  facts.currentUser = L"alice";
  facts.userIsAdmin = false;
  facts.usersExists = false;
  facts.commonAppData = L"C:\\ProgramData";
  facts.commonProductFolderExists = true;
  facts.userAppData = L"C:\\Users\\alice\\AppData\\Roaming";
  facts.userProductFolderExists = true;
  AclRepairPlan plan = PlanProductAclRepair(L"C:\\Program Files\\Lum Bastion", facts);

  // The four product keys alone (never "Software"), 4 trustees each.
  ASSERT_EQ(16u, plan.keys.size());
  EXPECT_EQ(RegRoot::kLocalMachine, plan.keys[0].root);
  EXPECT_EQ(L"Software\\LumBastion", plan.keys[0].path);
  EXPECT_TRUE(plan.keys[0].strict);
  EXPECT_EQ(L"Users", plan.keys[2].trustee);
  EXPECT_FALSE(plan.keys[2].strict);
  EXPECT_EQ(kKeyReadRights, plan.keys[3].rights);  // not an administrator
  EXPECT_EQ(RegRoot::kCurrentUser, plan.keys[15].root);
  EXPECT_EQ(L"Software\\LumSafe", plan.keys[15].path);
  for (const KeyGrant& g : plan.keys) {
    EXPECT_TRUE(g.path == L"Software\\LumBastion" || g.path == L"Software\\LumSafe")
        << "outside the product: " << std::string(g.path.begin(), g.path.end());
  }

  // The install folder and the product's own application-data folders, none
  // of their parents; "Users" is left out where that account does not exist.
  std::vector<std::wstring> folders;
  for (const FolderGrant& g : plan.folders) {
    EXPECT_NE(L"Users", g.trustee);
    if (folders.empty() || folders.back() != g.path) folders.push_back(g.path);
    if (g.trustee == L"alice") {
      EXPECT_EQ(kFileReadRights, g.rights);
    }
  }
  EXPECT_EQ(
      (std::vector<std::wstring>{L"C:\\Program Files\\Lum Bastion", L"C:\\ProgramData\\LumBastion",
                                 L"C:\\Users\\alice\\AppData\\Roaming\\LumBastion"}),
      folders);

  facts.userIsAdmin = true;
  facts.commonProductFolderExists = false;
  facts.userProductFolderExists = false;
  plan = PlanProductAclRepair(L"D:\\Lum", facts);
  EXPECT_EQ(kKeyFullRights, plan.keys[3].rights);
  ASSERT_EQ(3u, plan.folders.size());  // Administrators, SYSTEM, alice on D:\Lum only
  EXPECT_EQ(kFileFullRights, plan.folders[2].rights);
}

TEST(FirewallRulesTest, OnlyAnEnabledAuthorizationForEveryAddressAndVersionStands) {
  EXPECT_TRUE(AuthorizationIsCurrent(true, 0, 2));
  EXPECT_FALSE(AuthorizationIsCurrent(false, 0, 2));
  EXPECT_FALSE(AuthorizationIsCurrent(true, 1, 2));
  EXPECT_FALSE(AuthorizationIsCurrent(true, 0, 0));
}

}  // namespace
}  // namespace lum
