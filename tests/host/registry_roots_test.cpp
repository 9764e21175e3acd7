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

// Whether `rights` on a file or folder let the holder change it.
bool FileWriteRights(uint32_t rights) {
  const uint32_t kWrite = 0x0002 | 0x0004 | 0x0010 | 0x0100 | 0x0040 | 0x00010000 | 0x00040000 |
                          0x00080000 | 0x40000000 | 0x10000000;
  return (rights & kWrite) != 0;
}

TEST(AclRepairPlanTest, ProgramFoldersAndMachineKeysAreWrittenOnlyByTheSystemAndAdministrators) {
  AclRepairFacts facts;
  facts.currentUser = L"alice";
  facts.commonAppData = L"C:\\ProgramData";
  facts.commonProductFolderExists = true;
  facts.userAppData = L"C:\\Users\\alice\\AppData\\Roaming";
  facts.userProductFolderExists = true;
  AclRepairPlan plan = PlanProductAclRepair(L"C:\\Program Files\\Lum Bastion", facts);

  // The four product keys alone (never "Software"). On the machine's keys the
  // installing account gets nothing of its own (its unelevated processes
  // would share it); on his own hive's keys he has full control.
  ASSERT_EQ(12u, plan.keys.size());
  for (const KeyGrant& g : plan.keys) {
    EXPECT_TRUE(g.path == L"Software\\LumBastion" || g.path == L"Software\\LumSafe")
        << "outside the product: " << std::string(g.path.begin(), g.path.end());
    const bool writes = g.rights == kKeyFullRights;
    if (g.root == RegRoot::kLocalMachine) {
      EXPECT_NE(L"alice", g.trustee);
      if (writes) {
        EXPECT_TRUE(g.trustee == L"SYSTEM" || g.trustee == L"Administrators");
      }
      if (g.trustee == L"Users") {
        EXPECT_EQ(kKeyReadRights, g.rights);
      }
    } else {
      EXPECT_EQ(RegRoot::kCurrentUser, g.root);
      EXPECT_NE(L"Users", g.trustee);
      if (g.trustee == L"alice") {
        EXPECT_EQ(kKeyFullRights, g.rights);
      }
    }
    if (g.trustee == L"SYSTEM" || g.trustee == L"Administrators") {
      EXPECT_TRUE(g.strict);
    }
  }

  // The install folder and the common product folder: read and execute for
  // users, write for SYSTEM and the Administrators only. The one folder the
  // user may write is his own roaming product folder.
  std::vector<std::wstring> folders;
  for (const FolderGrant& g : plan.folders) {
    if (folders.empty() || folders.back() != g.path) folders.push_back(g.path);
    const bool userFolder = g.path == L"C:\\Users\\alice\\AppData\\Roaming\\LumBastion";
    if (FileWriteRights(g.rights)) {
      EXPECT_TRUE(g.trustee == L"SYSTEM" || g.trustee == L"Administrators" ||
                  (userFolder && g.trustee == L"alice"))
          << std::string(g.trustee.begin(), g.trustee.end()) << " may write "
          << std::string(g.path.begin(), g.path.end());
    }
    if (userFolder) {
      EXPECT_NE(L"Users", g.trustee);
    }
    if (!userFolder) {
      EXPECT_NE(L"alice", g.trustee);
    }
    if (g.trustee == L"Users") {
      EXPECT_EQ(kFileReadRights, g.rights);
    }
  }
  EXPECT_EQ(
      (std::vector<std::wstring>{L"C:\\Program Files\\Lum Bastion", L"C:\\ProgramData\\LumBastion",
                                 L"C:\\Users\\alice\\AppData\\Roaming\\LumBastion"}),
      folders);

  // A custom folder, no "Users" account, no application-data folders: the
  // folder alone, for the two writers.
  facts.usersExists = false;
  facts.commonProductFolderExists = false;
  facts.userProductFolderExists = false;
  plan = PlanProductAclRepair(L"D:\\Lum\\", facts);
  ASSERT_EQ(2u, plan.folders.size());
  for (const FolderGrant& g : plan.folders) {
    EXPECT_EQ(L"D:\\Lum", g.path);
    EXPECT_TRUE(g.trustee == L"SYSTEM" || g.trustee == L"Administrators");
  }
}

TEST(FirewallRulesTest, OnlyAnEnabledAuthorizationForEveryAddressAndVersionStands) {
  EXPECT_TRUE(AuthorizationIsCurrent(true, 0, 2));
  EXPECT_FALSE(AuthorizationIsCurrent(false, 0, 2));
  EXPECT_FALSE(AuthorizationIsCurrent(true, 1, 2));
  EXPECT_FALSE(AuthorizationIsCurrent(true, 0, 0));
}

}  // namespace
}  // namespace lum
