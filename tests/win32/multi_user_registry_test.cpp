// Per-user registry against Wine's real registry: two users who are not
// logged on get profile entries and hive files made here, and the installer's
// own (logged-on) profile is the third. Values are checked while the hives are
// mounted, since Wine drops writes into a loaded hive when it is unloaded.
#include <gtest/gtest.h>
#include <windows.h>
// These build on windows.h.
#include <shlobj.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/text.h"
#include "system/file_ops_win.h"
#include "system/multi_user_registry_win.h"
#include "system/registry_win.h"
#include "system/windows_version_win.h"
#include "tests/win32/user_hives.h"

namespace lum {
namespace {

const wchar_t kProfileList[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";
const wchar_t kScratch[] = L"Software\\LumHiveScratch";
const wchar_t kAlice[] = L"S-1-5-21-1111-2222-3333-1001";
const wchar_t kBob[] = L"S-1-5-21-1111-2222-3333-1002";

using testing_hives::EnableBackupAndRestore;

// Builds a hive file from a scratch key: `fill` writes the key's content.
template <typename Fill>
void SaveHive(const std::wstring& file, Fill fill) {
  testing_hives::SaveHive(file, kScratch, fill);
}

void SetString(HKEY parent, const std::wstring& path, const std::wstring& name,
               const std::wstring& value, DWORD type = REG_SZ) {
  RegKey key;
  ASSERT_TRUE(key.Create(parent, path, KEY_ALL_ACCESS));
  ASSERT_EQ(ERROR_SUCCESS,
            RegSetValueExW(key.Get(), name.c_str(), 0, type,
                           reinterpret_cast<const BYTE*>(value.c_str()),
                           static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))));
}

std::wstring ReadString(HKEY root, const std::wstring& path, const std::wstring& name) {
  RegKey key;
  std::wstring value;
  if (!key.Open(root, path, KEY_READ) || !key.ReadString(name, &value)) return L"<missing>";
  return value;
}

class MultiUserRegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CMultiUserRegManager::Reset();
    EnableBackupAndRestore();
    ownSid_ = CurrentUserSidString();
    ASSERT_FALSE(ownSid_.empty());
    wchar_t drive[MAX_PATH] = {};
    GetEnvironmentVariableW(L"SystemDrive", drive, MAX_PATH);
    root_ = std::wstring(drive) + L"\\lumusers";
    // Alice's profile folder is written with a variable, as Windows does.
    MakeProfile(kAlice, L"%SystemDrive%\\lumusers\\alice", root_ + L"\\alice", L"alice");
    MakeProfile(kBob, root_ + L"\\bob", root_ + L"\\bob", L"bob");
  }
  void TearDown() override {
    CMultiUserRegManager::Reset();
    for (const wchar_t* sid : {kAlice, kBob}) {
      RegKey::DeleteTree(HKEY_LOCAL_MACHINE, std::wstring(kProfileList) + L"\\" + sid,
                         RegView::k32);
    }
    DeleteFolderTree(root_);
  }

  void MakeProfile(const std::wstring& sid, const std::wstring& imagePath,
                   const std::wstring& folder, const std::wstring& marker) {
    ASSERT_EQ(ERROR_SUCCESS, SHCreateDirectoryExW(nullptr, (folder + L"\\AppData\\Local\\Microsoft\\Windows").c_str(), nullptr));
    SaveHive(folder + L"\\NTUSER.DAT", [&](HKEY key) {
      SetString(key, L"Environment", L"LumMarker", marker);
      SetString(key, L"Environment", L"LumDocs", L"%USERPROFILE%\\docs", REG_EXPAND_SZ);
      SetString(key,
                L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders",
                L"AppData", L"%USERPROFILE%\\AppData\\Roaming", REG_EXPAND_SZ);
      SetString(key,
                L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders",
                L"{374DE290-123F-4565-9164-39C4925E467B}", L"C:\\skipped");
    });
    SaveHive(folder + L"\\AppData\\Local\\Microsoft\\Windows\\UsrClass.dat",
             [&](HKEY key) { SetString(key, L"LumClassMarker", L"", marker); });
    RegKey profile;
    ASSERT_TRUE(profile.Create(HKEY_LOCAL_MACHINE, std::wstring(kProfileList) + L"\\" + sid,
                               KEY_ALL_ACCESS, RegView::k32));
    ASSERT_EQ(ERROR_SUCCESS,
              RegSetValueExW(profile.Get(), L"ProfileImagePath", 0, REG_EXPAND_SZ,
                             reinterpret_cast<const BYTE*>(imagePath.c_str()),
                             static_cast<DWORD>((imagePath.size() + 1) * sizeof(wchar_t))));
  }

  std::wstring ownSid_;
  std::wstring root_;
};

TEST_F(MultiUserRegistryTest, HivesOfUsersNotLoggedOnAreMountedForTheManagersLifetime) {
  CMultiUserRegManager& manager = CMultiUserRegManager::Instance();
  ASSERT_TRUE(manager.Ready());
  for (const wchar_t* sid : {kAlice, kBob}) {
    auto helper = manager.Helper(sid);
    ASSERT_TRUE(helper != nullptr);
    EXPECT_TRUE(helper->Ok());
    EXPECT_TRUE(helper->LoadedHive());
    EXPECT_TRUE(helper->LoadedClassesHive());
  }
  // The profile folder's variable resolved against the machine environment.
  EXPECT_TRUE(EqualsNoCase(root_ + L"\\alice", manager.Helper(kAlice)->ProfileFolder()));
  EXPECT_EQ(L"alice", ReadString(HKEY_USERS, std::wstring(kAlice) + L"\\Environment", L"LumMarker"));
  EXPECT_EQ(L"bob", ReadString(HKEY_USERS, std::wstring(kBob) + L"_Classes\\LumClassMarker", L""));
  // The logged-on user's hive is already there and is not loaded again.
  auto own = manager.Helper(ownSid_);
  ASSERT_TRUE(own != nullptr);
  EXPECT_FALSE(own->LoadedHive());

  CMultiUserRegManager::Reset();
  EXPECT_FALSE(RegKey::Exists(HKEY_USERS, kAlice));
  EXPECT_FALSE(RegKey::Exists(HKEY_USERS, std::wstring(kBob) + L"_Classes"));
  EXPECT_TRUE(RegKey::Exists(HKEY_USERS, ownSid_ + L"\\Software"));
}

TEST_F(MultiUserRegistryTest, PerUserValueReachesEveryProfileOnceWhileMounted) {
  std::vector<UserKey> keys = MapKeyForEveryUser(HKEY_CURRENT_USER, L"Software\\LumBastion\\Test");
  std::vector<std::wstring> sids;
  for (const UserKey& key : keys) {
    sids.push_back(key.sid);
    EXPECT_EQ(HKEY_USERS, key.root);
    RegKey written;
    ASSERT_TRUE(written.Create(key.root, key.path, KEY_ALL_ACCESS));
    ASSERT_TRUE(written.WriteString(L"PerUser", key.sid));
  }
  std::sort(sids.begin(), sids.end());
  std::vector<std::wstring> expected = {kAlice, kBob, ownSid_};
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(expected, sids);  // the installer's own HKCU exactly once

  for (const wchar_t* sid : {kAlice, kBob}) {
    EXPECT_EQ(sid, ReadString(HKEY_USERS, std::wstring(sid) + L"\\Software\\LumBastion\\Test",
                              L"PerUser"));
  }
  EXPECT_EQ(ownSid_, ReadString(HKEY_CURRENT_USER, L"Software\\LumBastion\\Test", L"PerUser"));
  RegKey::DeleteTree(HKEY_CURRENT_USER, L"Software\\LumBastion\\Test");
}

TEST_F(MultiUserRegistryTest, ClassesPathLandsInTheUsersClassesHive) {
  HKEY root = nullptr;
  std::wstring path;
  EXPECT_TRUE(MapUserKey(HKEY_CURRENT_USER, L"software\\classes\\LumTest.File", kAlice, &root, &path));
  EXPECT_EQ(std::wstring(kAlice) + L"_Classes\\LumTest.File", path);

  std::vector<UserKey> keys = MapKeyForEveryUser(HKEY_CURRENT_USER, L"Software\\Classes\\LumTest.File");
  for (const UserKey& key : keys) {
    if (key.sid != kBob) continue;
    RegKey written;
    ASSERT_TRUE(written.Create(key.root, key.path, KEY_ALL_ACCESS));
    ASSERT_TRUE(written.WriteString(L"", L"bob's class"));
  }
  // Seen through the classes hive (which holds the hive file's marker), not the main hive.
  EXPECT_EQ(L"bob's class", ReadString(HKEY_USERS, std::wstring(kBob) + L"_Classes\\LumTest.File", L""));
  EXPECT_EQ(L"bob", ReadString(HKEY_USERS, std::wstring(kBob) + L"_Classes\\LumClassMarker", L""));
  EXPECT_FALSE(RegKey::Exists(HKEY_USERS, std::wstring(kBob) + L"\\Software\\Classes\\LumTest.File"));

  EXPECT_FALSE(MapUserKey(HKEY_LOCAL_MACHINE, L"Software\\X", kAlice, &root, &path));
  EXPECT_EQ(HKEY_LOCAL_MACHINE, root);
  EXPECT_TRUE(MapKeyForEveryUser(HKEY_LOCAL_MACHINE, L"Software\\X").empty());
}

TEST_F(MultiUserRegistryTest, EnvironmentAndShellFoldersComeFromEachUsersHive) {
  CMultiUserRegManager& manager = CMultiUserRegManager::Instance();
  auto bob = manager.Helper(kBob);
  ASSERT_TRUE(bob != nullptr);
  std::wstring value;
  ASSERT_TRUE(bob->Variable(L"lumdocs", &value));
  EXPECT_EQ(root_ + L"\\bob\\docs", value);
  ASSERT_TRUE(bob->Variable(L"USERPROFILE", &value));
  EXPECT_EQ(root_ + L"\\bob", value);

  std::vector<std::wstring> folders;
  ASSERT_TRUE(manager.FoldersForEveryUser(26, &folders));  // AppData
  EXPECT_NE(folders.end(), std::find(folders.begin(), folders.end(),
                                     root_ + L"\\bob\\AppData\\Roaming"));
  EXPECT_NE(folders.end(),
            std::find_if(folders.begin(), folders.end(), [&](const std::wstring& f) {
              return EqualsNoCase(f, root_ + L"\\alice\\AppData\\Roaming");
            }));
  EXPECT_EQ(bob->ShellFolders().size(), 1u);  // the "{...}" value is skipped

  // A machine-wide folder is one path for everybody.
  ASSERT_TRUE(manager.FoldersForEveryUser(35, &folders));  // common application data
  EXPECT_EQ(1u, folders.size());
}

TEST_F(MultiUserRegistryTest, ProfilesWithoutAFolderOrSidAreUnusable) {
  CUserRegHelper empty(L"", EnvironmentMap());
  EXPECT_FALSE(empty.Ok());
  CUserRegHelper unknown(L"S-1-5-21-9-9-9-9999", EnvironmentMap());
  EXPECT_FALSE(unknown.Ok());
  EXPECT_FALSE(unknown.LoadedHive());
  EXPECT_EQ(L"Unknown", unknown.AccountName());

  std::vector<std::wstring> all = ListProfileSids(false);
  std::vector<std::wstring> longOnly = ListProfileSids(true);
  EXPECT_NE(all.end(), std::find(all.begin(), all.end(), kAlice));
  for (const std::wstring& sid : longOnly) EXPECT_GE(std::count(sid.begin(), sid.end(), L'-'), 4);
}

}  // namespace
}  // namespace lum
