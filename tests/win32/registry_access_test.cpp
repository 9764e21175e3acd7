// Registry roots by handle and the repair of access rights, against Wine's
// real registry DACLs. Folder DACLs are not stored by Wine, so the folder side
// is checked through what the repair asked of CAccessPermission.
#include <gtest/gtest.h>
#include <windows.h>
// These build on windows.h.
#include <aclapi.h>
#include <sddl.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "base/text.h"
#include "system/file_ops_win.h"
#include "system/registry_access_win.h"
#include "system/registry_win.h"
#include "system/win_handle_win.h"
#include "system/windows_version_win.h"

namespace lum {
namespace {

struct Grant {
  std::wstring object;
  SE_OBJECT_TYPE type;
  std::wstring trustee;
  DWORD rights;
};

// Records every grant; registry grants still go to the real DACLs.
class RecordingPermission : public CAccessPermission {
 public:
  bool GrantAccess(const std::wstring& objectName, SE_OBJECT_TYPE objectType, ACCESS_MODE mode,
                   const std::wstring& trustee, DWORD rights) override {
    grants.push_back({objectName, objectType, trustee, rights});
    if (objectType == SE_FILE_OBJECT) return true;
    return CAccessPermission::GrantAccess(objectName, objectType, mode, trustee, rights);
  }
  std::vector<Grant> grants;
};

UniqueLocal SidFromString(const wchar_t* text) {
  PSID sid = nullptr;
  ConvertStringSidToSidW(text, &sid);
  return UniqueLocal(sid);
}

TEST(RegistryRootsTest, PredefinedRootsAndNamesResolve) {
  HKEY root = nullptr;
  std::wstring path = L"x";
  ASSERT_TRUE(ResolveKeyPath(HKEY_LOCAL_MACHINE, &root, &path));
  EXPECT_EQ(HKEY_LOCAL_MACHINE, root);
  EXPECT_TRUE(path.empty());
  EXPECT_FALSE(ResolveKeyPath(HKEY_PERFORMANCE_DATA, &root, &path));
  EXPECT_EQ(HKEY_CURRENT_USER, RootKeyFromName(L"hkcu"));
  EXPECT_EQ(HKEY_CURRENT_USER, RootKeyFromName(L"HKEY_CURRENT_USER"));
  EXPECT_EQ(nullptr, RootKeyFromName(L"HKXX"));
  EXPECT_EQ(L"HKU", NameFromRootKey(HKEY_USERS));
}

TEST(RegistryRootsTest, OpenKeysResolveToTheirRoot) {
  RegKey own;
  ASSERT_TRUE(own.Create(HKEY_CURRENT_USER, L"Software\\LumResolveTest", KEY_ALL_ACCESS));
  HKEY root = nullptr;
  std::wstring path;
  ASSERT_TRUE(ResolveKeyPath(own.Get(), &root, &path));
  EXPECT_EQ(HKEY_CURRENT_USER, root);
  EXPECT_TRUE(EqualsNoCase(L"Software\\LumResolveTest", path)) << WideToUtf8(path);

  // The same key reached through HKEY_USERS is still the current user's.
  RegKey viaUsers;
  ASSERT_TRUE(viaUsers.Open(HKEY_USERS, CurrentUserSidString() + L"\\Software\\LumResolveTest",
                            KEY_READ));
  ASSERT_TRUE(ResolveKeyPath(viaUsers.Get(), &root, &path));
  EXPECT_EQ(HKEY_CURRENT_USER, root);

  RegKey other;
  ASSERT_TRUE(other.Open(HKEY_USERS, L".Default\\Software", KEY_READ));
  ASSERT_TRUE(ResolveKeyPath(other.Get(), &root, &path));
  EXPECT_EQ(HKEY_USERS, root);
  EXPECT_TRUE(EqualsNoCase(L".Default\\Software", path)) << WideToUtf8(path);

  RegKey machine;
  ASSERT_TRUE(machine.Open(HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet", KEY_READ));
  ASSERT_TRUE(ResolveKeyPath(machine.Get(), &root, &path));
  EXPECT_EQ(HKEY_LOCAL_MACHINE, root);
  EXPECT_TRUE(StartsWithNoCase(path, L"System\\")) << WideToUtf8(path);
  own = RegKey();
  viaUsers = RegKey();
  RegKey::DeleteTree(HKEY_CURRENT_USER, L"Software\\LumResolveTest");
}

class ProductAclTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegKey::DeleteTree(HKEY_LOCAL_MACHINE, kKey);
    RegKey key;
    ASSERT_TRUE(key.Create(HKEY_LOCAL_MACHINE, kKey, KEY_ALL_ACCESS));
  }
  void TearDown() override {
    GrantRegistryKeyAccess(HKEY_LOCAL_MACHINE, kKey, L"Administrators", kKeyFullRights);
    RegKey::DeleteTree(HKEY_LOCAL_MACHINE, kKey);
  }
  // Owner SYSTEM and a DACL that denies Administrators everything but taking
  // ownership: neither the owner's implicit rights nor an allow entry reach
  // the installer. Windows lets the take-ownership privilege take a key that
  // denies even that; Wine does not grant rights for privileges, so the one
  // right the privilege would give is left to an allow entry here.
  void LockOutAdministrators() {
    UniqueLocal admins = SidFromString(L"S-1-5-32-544");
    UniqueLocal system = SidFromString(L"S-1-5-18");
    EXPLICIT_ACCESSW entries[2] = {};
    entries[0].grfAccessPermissions = KEY_ALL_ACCESS & ~WRITE_OWNER;
    entries[0].grfAccessMode = DENY_ACCESS;
    entries[0].Trustee.TrusteeForm = TRUSTEE_IS_SID;
    entries[0].Trustee.ptstrName = static_cast<LPWSTR>(admins.Get());
    entries[1] = entries[0];
    entries[1].grfAccessPermissions = WRITE_OWNER;
    entries[1].grfAccessMode = GRANT_ACCESS;
    PACL acl = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, SetEntriesInAclW(2, entries, nullptr, &acl));
    UniqueLocal aclOwner(acl);
    // Through a handle, so that a 64-bit build locks the key the product uses.
    RegKey locked;
    ASSERT_TRUE(locked.Open(HKEY_LOCAL_MACHINE, kKey, WRITE_OWNER | WRITE_DAC));
    ASSERT_EQ(ERROR_SUCCESS,
              SetSecurityInfo(locked.Get(), SE_REGISTRY_KEY,
                              OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION |
                                  PROTECTED_DACL_SECURITY_INFORMATION,
                              system.Get(), nullptr, acl, nullptr));
    HKEY probe = nullptr;
    ASSERT_EQ(ERROR_ACCESS_DENIED,
              RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, KEY_READ | ViewFlag(RegView::kDefault), &probe));
  }
  static constexpr const wchar_t* kKey = L"Software\\LumBastion";
};

TEST_F(ProductAclTest, KeyDenyingAdministratorsIsTakenOverAndGrantedFullRights) {
  LockOutAdministrators();
  EXPECT_EQ(KeyAccess::kNeither,
            EvaluateKeyAccess(HKEY_LOCAL_MACHINE, kKey, L"Administrators", kKeyFullRights));

  RecordingPermission permission;
  RepairProductAcls(L"C:\\lum_acl_none", &permission);

  RegKey reopened;
  ASSERT_TRUE(reopened.Open(HKEY_LOCAL_MACHINE, kKey, KEY_ALL_ACCESS));
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR sd = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, GetSecurityInfo(reopened.Get(), SE_REGISTRY_KEY,
                                           OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr,
                                           nullptr, &sd));
  UniqueLocal sdOwner(sd);
  UniqueLocal admins = SidFromString(L"S-1-5-32-544");
  EXPECT_TRUE(EqualSid(owner, admins.Get()));
  EXPECT_EQ(KeyAccess::kAllowed,
            EvaluateKeyAccess(HKEY_LOCAL_MACHINE, kKey, L"Administrators", kKeyFullRights));
}

TEST_F(ProductAclTest, AllowedKeysAreLeftAloneAndDeniedUsersAreRepaired) {
  // Administrators already allowed: a strict check grants nothing.
  ASSERT_TRUE(GrantRegistryKeyAccess(HKEY_LOCAL_MACHINE, kKey, L"Administrators", kKeyFullRights));
  RecordingPermission permission;
  EXPECT_TRUE(EnsureKeyAccess(HKEY_LOCAL_MACHINE, kKey, L"Administrators", kKeyFullRights, true,
                              &permission));
  EXPECT_TRUE(permission.grants.empty());
  // Not strict: "Users" with no entry at all is not touched; denied, it is.
  EXPECT_TRUE(EnsureKeyAccess(HKEY_LOCAL_MACHINE, kKey, L"Users", kKeyReadRights, false,
                              &permission));
  EXPECT_TRUE(permission.grants.empty());
  RegKey key;
  ASSERT_TRUE(key.Open(HKEY_LOCAL_MACHINE, kKey, KEY_ALL_ACCESS));
  ASSERT_TRUE(CAccessPermission().GrantAccess(L"MACHINE\\" + std::wstring(kKey), SE_REGISTRY_KEY,
                                              DENY_ACCESS, L"Users", KEY_READ));
  EXPECT_EQ(KeyAccess::kDenied, EvaluateKeyAccess(HKEY_LOCAL_MACHINE, kKey, L"Users", kKeyReadRights));
  EXPECT_TRUE(EnsureKeyAccess(HKEY_LOCAL_MACHINE, kKey, L"Users", kKeyReadRights, false,
                              &permission));
  EXPECT_EQ(1u, permission.grants.size());
  EXPECT_EQ(KeyAccess::kAllowed, EvaluateKeyAccess(HKEY_LOCAL_MACHINE, kKey, L"Users", kKeyReadRights));

  EXPECT_FALSE(EnsureKeyAccess(HKEY_LOCAL_MACHINE, L"", L"Users", kKeyReadRights, false));
  EXPECT_FALSE(EnsureKeyAccess(HKEY_LOCAL_MACHINE, kKey, L"", kKeyReadRights, false));
}

TEST_F(ProductAclTest, FolderRightsReachTheInstallFolderButNoneOfItsParents) {
  wchar_t drive[MAX_PATH] = {};
  GetEnvironmentVariableW(L"SystemDrive", drive, MAX_PATH);
  const std::wstring top = std::wstring(drive) + L"\\lum_acl";
  const std::wstring install = top + L"\\Vendor\\Lum Bastion";
  ASSERT_EQ(ERROR_SUCCESS, SHCreateDirectoryExW(nullptr, install.c_str(), nullptr));

  RecordingPermission permission;
  RepairProductAcls(install + L"\\", &permission);
  DeleteFolderTree(top);

  size_t installGrants = 0;
  for (const Grant& g : permission.grants) {
    if (g.type != SE_FILE_OBJECT) continue;
    // The application-data folders of the product may be there too; nothing
    // else, and no parent of any of them.
    EXPECT_TRUE(g.object == install || g.object.find(L"\\LumBastion") != std::wstring::npos)
        << "outside the product: " << WideToUtf8(g.object);
    EXPECT_EQ(std::wstring::npos, g.object.find(L"\\LumBastion\\")) << WideToUtf8(g.object);
    if (g.object != install) continue;
    ++installGrants;
    if (g.trustee == L"SYSTEM" || g.trustee == L"Administrators") {
      EXPECT_EQ(kFileFullRights, g.rights);
    }
    if (g.trustee == L"Users") {
      EXPECT_EQ(kFileReadRights, g.rights);
    }
  }
  EXPECT_GE(installGrants, 3u);
  for (const Grant& g : permission.grants) {
    EXPECT_FALSE(EqualsNoCase(g.object, L"MACHINE\\Software")) << "machine hive touched";
    EXPECT_FALSE(EqualsNoCase(g.object, L"CURRENT_USER\\Software")) << "user hive touched";
  }
}

// A registry link, as a user may make one in his own hive, at `path` (HKCU)
// to the HKCU key `target`.
bool MakeRegistryLink(const std::wstring& path, const std::wstring& target) {
  HKEY link = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, REG_OPTION_CREATE_LINK,
                      KEY_ALL_ACCESS | KEY_CREATE_LINK, nullptr, &link, nullptr) != ERROR_SUCCESS)
    return false;
  UniqueHkey owned(link);
  const std::wstring native = L"\\REGISTRY\\USER\\" + CurrentUserSidString() + L"\\" + target;
  return RegSetValueExW(link, L"SymbolicLinkValue", 0, REG_LINK,
                        reinterpret_cast<const BYTE*>(native.c_str()),
                        static_cast<DWORD>(native.size() * sizeof(wchar_t))) == ERROR_SUCCESS;
}

std::vector<uint8_t> DescriptorOf(HKEY root, const wchar_t* path) {
  RegKey key;
  if (!key.Open(root, path, READ_CONTROL)) return {};
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetSecurityInfo(key.Get(), SE_REGISTRY_KEY,
                      OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, nullptr, nullptr,
                      nullptr, nullptr, &descriptor) != ERROR_SUCCESS)
    return {};
  UniqueLocal owned(descriptor);
  const auto* start = static_cast<const uint8_t*>(descriptor);
  return std::vector<uint8_t>(start, start + GetSecurityDescriptorLength(descriptor));
}

TEST(UserHiveLinks, TreeDeletesAndGrantsNeverReachWhatALinkPointsAt) {
  // The key a link leads to (a machine key, for a real attacker).
  const wchar_t* kTarget = L"Software\\LumLinkTarget";
  {
    RegKey target;
    ASSERT_TRUE(target.Create(HKEY_CURRENT_USER, kTarget, KEY_ALL_ACCESS));
    ASSERT_TRUE(target.WriteString(L"kept", L"yes"));
    RegKey below;
    ASSERT_TRUE(below.Create(HKEY_CURRENT_USER, std::wstring(kTarget) + L"\\below", KEY_ALL_ACCESS));
  }
  ASSERT_TRUE(MakeRegistryLink(L"Software\\LumLinkTree\\inner", kTarget));
  {
    RegKey through;  // the link works: an ordinary open lands on the target
    ASSERT_TRUE(through.Open(HKEY_CURRENT_USER, L"Software\\LumLinkTree\\inner", KEY_READ));
    ASSERT_TRUE(through.HasValue(L"kept"));
  }
  // A link inside the tree, and a tree that is itself a link.
  EXPECT_TRUE(RegKey::DeleteTree(HKEY_CURRENT_USER, L"Software\\LumLinkTree"));
  EXPECT_FALSE(RegKey::Exists(HKEY_CURRENT_USER, L"Software\\LumLinkTree"));
  ASSERT_TRUE(MakeRegistryLink(L"Software\\LumLinkTop", kTarget));
  EXPECT_TRUE(RegKey::DeleteTree(HKEY_CURRENT_USER, L"Software\\LumLinkTop"));
  EXPECT_FALSE(RegKey::Exists(HKEY_CURRENT_USER, L"Software\\LumLinkTop"));
  RegKey target;
  ASSERT_TRUE(target.Open(HKEY_CURRENT_USER, kTarget, KEY_READ));
  EXPECT_TRUE(target.HasValue(L"kept"));
  EXPECT_TRUE(RegKey::Exists(HKEY_CURRENT_USER, std::wstring(kTarget) + L"\\below"));

  // The user's product key as a link: the repair's grants go to the link
  // itself, the target's rights stay as they were.
  RegKey::DeleteTree(HKEY_CURRENT_USER, L"Software\\LumBastion");
  ASSERT_TRUE(MakeRegistryLink(L"Software\\LumBastion", kTarget));
  const std::vector<uint8_t> before = DescriptorOf(HKEY_CURRENT_USER, kTarget);
  ASSERT_FALSE(before.empty());
  GrantRegistryKeyAccess(HKEY_CURRENT_USER, L"Software\\LumBastion", L"Users", kKeyFullRights);
  EXPECT_EQ(before, DescriptorOf(HKEY_CURRENT_USER, kTarget));
  EXPECT_TRUE(RegKey::DeleteTree(HKEY_CURRENT_USER, L"Software\\LumBastion"));
  EXPECT_TRUE(RegKey::DeleteTree(HKEY_CURRENT_USER, kTarget));
}

}  // namespace
}  // namespace lum
