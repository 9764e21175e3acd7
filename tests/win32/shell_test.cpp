// The action-script interpreter against Wine's real registry and files.
#include "install/shell_win.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "base/text.h"
#include "system/file_ops_win.h"
#include "system/folder_tree_win.h"
#include "system/multi_user_registry_win.h"
#include "system/reboot_ops_win.h"
#include "system/registry_win.h"
#include "system/win_handle_win.h"
#include "system/windows_version_win.h"
#include "tests/win32/user_hives.h"

namespace lum {
namespace {

constexpr const wchar_t* kKey = L"SOFTWARE\\LumShellTest";

IniTable Script(const std::wstring& text) {
  IniTable table;
  const std::vector<uint8_t> bytes = WideToUtf16Le(text, true);
  EXPECT_TRUE(table.Parse(bytes.data(), bytes.size()));
  return table;
}

void WriteText(const std::wstring& path, const char* text) {
  CreateFolderTree(ParentFolder(path));
  UniqueFileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(file.Valid());
  DWORD written = 0;
  WriteFile(file.Get(), text, static_cast<DWORD>(strlen(text)), &written, nullptr);
}

std::string ReadText(const std::wstring& path) {
  UniqueFileHandle file(
      CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  if (!file) return "<missing>";
  char buffer[256] = {};
  DWORD read = 0;
  ReadFile(file.Get(), buffer, sizeof(buffer) - 1, &read, nullptr);
  return std::string(buffer, read);
}

bool PendingRenamesMention(const std::wstring& path) {
  RegKey key;
  if (!key.Open(HKEY_LOCAL_MACHINE, kSessionManagerKey, KEY_QUERY_VALUE)) return false;
  DWORD size = 0;
  if (RegQueryValueExW(key.Get(), kPendingRenamesValue, nullptr, nullptr, nullptr, &size) != 0) {
    return false;
  }
  std::wstring data(size / sizeof(wchar_t) + 1, L'\0');
  RegQueryValueExW(key.Get(), kPendingRenamesValue, nullptr, nullptr,
                   reinterpret_cast<BYTE*>(&data[0]), &size);
  for (wchar_t& c : data) c = c ? c : L'|';
  return ContainsNoCase(data, path);
}

class ShellTest : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH, temp);
    root_ = std::wstring(temp) + L"LumShell_" + std::to_wstring(GetCurrentProcessId());
    DeleteFolderTree(root_);
    install_ = root_ + L"\\install";
    extract_ = root_ + L"\\extract";
    CreateFolderTree(install_);
    CreateFolderTree(extract_);
  }
  void TearDown() override {
    RegKey::DeleteTree(HKEY_LOCAL_MACHINE, kKey, RegView::k32);
    RegKey::DeleteTree(HKEY_CURRENT_USER, kKey, RegView::k32);
    DeleteFolderTree(root_);
  }
  bool ReadDword(const std::wstring& path, const std::wstring& name, DWORD* value) {
    RegKey key;
    return key.Open(HKEY_LOCAL_MACHINE, path, KEY_QUERY_VALUE, RegView::k32) &&
           key.ReadDword(name, value);
  }

  std::wstring root_, install_, extract_;
};

TEST_F(ShellTest, RegistryCommandsRunInKeyOrderWithTheirTypes) {
  std::wstring text = L"[custom]\r\n";
  for (int i = 1; i <= 17; ++i) {
    text += L"cmd" + std::to_wstring(i) + L"=writevalue|HKLM|" + kKey + L"|Order|REG_DWORD|" +
            std::to_wstring(i) + L"\r\n";
  }
  text += std::wstring(L"a1=writevalue|HKEY_LOCAL_MACHINE|") + kKey + L"|Year|reg_dword|1980\r\n";
  text += std::wstring(L"a2=writevalue|HKLM|") + kKey + L"|Blob|REG_BINARY|0102\r\n";
  text += std::wstring(L"a3=writevalue|HKLM|") + kKey + L"|Name|REG_SZ|Lum Bastion\r\n";
  text += std::wstring(L"a4=writevalue|HKXX|") + kKey + L"|Lost|REG_DWORD|1\r\n";
  CShell shell(install_, extract_);
  ASSERT_TRUE(shell.RunRegistrySectionTable(Script(text), L"custom"));
  EXPECT_FALSE(shell.RunRegistrySectionTable(Script(text), L"missing"));

  DWORD value = 0;
  ASSERT_TRUE(ReadDword(kKey, L"Order", &value));
  EXPECT_EQ(9u, value);  // "cmd9" sorts last
  ASSERT_TRUE(ReadDword(kKey, L"Year", &value));
  EXPECT_EQ(1980u, value);
  RegKey key;
  ASSERT_TRUE(key.Open(HKEY_LOCAL_MACHINE, kKey, KEY_QUERY_VALUE, RegView::k32));
  EXPECT_FALSE(key.HasValue(L"Blob"));
  EXPECT_FALSE(key.HasValue(L"Lost"));
  std::wstring name;
  ASSERT_TRUE(key.ReadString(L"Name", &name));
  EXPECT_EQ(L"Lum Bastion", name);
}

TEST_F(ShellTest, DeleteVerbsAndUnknownRoots) {
  CShell shell(install_, extract_);
  const std::wstring withValues = std::wstring(kKey) + L"\\OnlyValues";
  const std::wstring withChild = std::wstring(kKey) + L"\\HasChild";
  RegKey key;
  ASSERT_TRUE(key.Create(HKEY_LOCAL_MACHINE, withValues, KEY_ALL_ACCESS, RegView::k32));
  key.WriteDword(L"A", 1);
  ASSERT_TRUE(key.Create(HKEY_LOCAL_MACHINE, withChild + L"\\Child", KEY_ALL_ACCESS, RegView::k32));
  ASSERT_TRUE(key.Create(HKEY_LOCAL_MACHINE, withChild, KEY_ALL_ACCESS, RegView::k32));
  key.WriteDword(L"Keep", 1);
  key.WriteDword(L"Drop", 2);

  EXPECT_TRUE(shell.DeleteEmptyKey(L"hklm", withValues));
  EXPECT_FALSE(RegKey::Exists(HKEY_LOCAL_MACHINE, withValues, RegView::k32));
  EXPECT_FALSE(shell.DeleteEmptyKey(L"HKLM", withChild));
  EXPECT_TRUE(RegKey::Exists(HKEY_LOCAL_MACHINE, withChild + L"\\Child", RegView::k32));

  EXPECT_FALSE(shell.DeleteKey(L"HKLX", withChild));
  EXPECT_FALSE(shell.DeleteValue(L"HKEY_LOCAL", withChild, L"Drop"));
  EXPECT_FALSE(shell.WriteDword(L"", withChild, L"New", 1));
  EXPECT_TRUE(shell.DeleteValue(L"HKLM", withChild, L"Drop"));
  DWORD value = 0;
  EXPECT_FALSE(ReadDword(withChild, L"Drop", &value));
  EXPECT_TRUE(ReadDword(withChild, L"Keep", &value));
  EXPECT_FALSE(ReadDword(withChild, L"New", &value));

  EXPECT_TRUE(shell.DeleteKey(L"HKEY_LOCAL_MACHINE", withChild));
  EXPECT_FALSE(RegKey::Exists(HKEY_LOCAL_MACHINE, withChild, RegView::k32));
  EXPECT_FALSE(shell.DeleteKey(L"HKLM", L""));  // never the whole root
}

TEST_F(ShellTest, CurrentUserCommandReachesTheUserThroughHkeyUsers) {
  RegKey key;
  ASSERT_TRUE(key.Create(HKEY_CURRENT_USER, kKey, KEY_ALL_ACCESS, RegView::k32));
  key.WriteDword(L"Tray", 1);
  key.WriteDword(L"Other", 1);
  CShell shell(install_, extract_);
  const std::vector<IScriptBackend::MappedKey> users = shell.MapCurrentUserKey(kKey);
  ASSERT_FALSE(users.empty());
  for (const auto& user : users) EXPECT_EQ(L"HKU", user.root);

  shell.RunRegistrySectionTable(
      Script(std::wstring(L"[reg]\r\n1=deleteval|HKCU|") + kKey + L"|Tray\r\n"), L"reg");
  RegKey read;
  ASSERT_TRUE(read.Open(HKEY_CURRENT_USER, kKey, KEY_QUERY_VALUE, RegView::k32));
  EXPECT_FALSE(read.HasValue(L"Tray"));
  EXPECT_TRUE(read.HasValue(L"Other"));
}

TEST_F(ShellTest, FileCommandsTrimMiddleFieldsAndTakeUnknownTokensRelative) {
  WriteText(install_ + L"\\a.txt", "alpha");
  WriteText(root_ + L"\\loose.txt", "loose");
  WriteText(extract_ + L"\\cfg\\sub\\c.ini", "c");
  wchar_t previous[MAX_PATH + 1] = {};
  GetCurrentDirectoryW(MAX_PATH, previous);
  ASSERT_TRUE(SetCurrentDirectoryW(root_.c_str()));
  CShell shell(install_, extract_);
  shell.RunScriptTable(Script(
      L"[file]\r\n"
      L"1=cpfile|installation|a.txt  \t|installation|copy\\b.txt\r\n"
      L"2=cpfile|nosuchtoken|loose.txt|installation|loose.txt\r\n"
      L"3=cpdir|extractins|cfg|installation|cfg\r\n"
      L"4=delfile|installation|a.txt  |\r\n"
      L"5=delfile|extractins|cfg\\sub\\c.ini\r\n"));  // not a delete token
  SetCurrentDirectoryW(previous);
  EXPECT_EQ("alpha", ReadText(install_ + L"\\copy\\b.txt"));
  EXPECT_EQ("loose", ReadText(install_ + L"\\loose.txt"));
  EXPECT_EQ("c", ReadText(install_ + L"\\cfg\\sub\\c.ini"));
  EXPECT_FALSE(FileExists(install_ + L"\\a.txt"));
  EXPECT_TRUE(FileExists(extract_ + L"\\cfg\\sub\\c.ini"));
  EXPECT_FALSE(shell.HasLeftovers());
}

TEST_F(ShellTest, DeleteTreeKeepsTheRepairToolAndTheFoldersHoldingIt) {
  WriteText(install_ + L"\\a.txt", "a");
  WriteText(install_ + L"\\tools\\Repair.exe", "r");
  WriteText(install_ + L"\\tools\\other.dll", "o");
  WriteText(install_ + L"\\deep\\x\\y.dat", "y");
  SetFileAttributesW((install_ + L"\\deep\\x\\y.dat").c_str(), FILE_ATTRIBUTE_READONLY);
  CShell shell(install_, extract_);
  EXPECT_FALSE(shell.DeleteTree(install_, false));
  EXPECT_TRUE(FileExists(install_ + L"\\tools\\Repair.exe"));
  EXPECT_FALSE(FileExists(install_ + L"\\tools\\other.dll"));
  EXPECT_FALSE(FileExists(install_ + L"\\a.txt"));
  EXPECT_FALSE(FolderExists(install_ + L"\\deep"));
  // The folders that still hold the tool could not go: they are leftovers.
  ASSERT_TRUE(shell.HasLeftovers());
  EXPECT_EQ(2u, shell.Leftovers().size());

  EXPECT_FALSE(shell.DeleteTree(L"", false));
  EXPECT_FALSE(shell.DeleteTree(std::wstring(260, L'a'), false));
  EXPECT_TRUE(shell.DeleteTree(extract_, false));
  EXPECT_FALSE(FolderExists(extract_));
}

TEST_F(ShellTest, LockedFilesAreScheduledOrRememberedAndIdenticalCopiesCount) {
  const std::wstring locked = install_ + L"\\locked.dat";
  WriteText(locked, "same");
  WriteText(extract_ + L"\\same.dat", "same");
  WriteText(extract_ + L"\\new.dat", "new!");
  UniqueFileHandle hold(CreateFileW(locked.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(hold.Valid());
  CShell shell(install_, extract_);

  EXPECT_FALSE(shell.DeletePath(locked, false));
  ASSERT_EQ(1u, shell.Leftovers().size());
  EXPECT_EQ(locked, shell.Leftovers()[0]);
  EXPECT_FALSE(shell.DeletePath(locked, true));
  EXPECT_TRUE(PendingRenamesMention(locked));
  EXPECT_TRUE(shell.DeletePath(install_ + L"\\gone.lnk", false));  // never existed

  EXPECT_TRUE(shell.CopyFileItem(extract_ + L"\\same.dat", locked, false));
  EXPECT_FALSE(shell.CopyFileItem(extract_ + L"\\missing.dat", install_ + L"\\m.dat", true));
  EXPECT_FALSE(shell.CopyFileItem(extract_ + L"\\new.dat", locked, true));
  EXPECT_EQ("same", ReadText(locked));

  // The deferred-removal clean-up at the start of a run empties the list.
  shell.RunScriptTable(Script(L"[none]\r\na=b\r\n"));
  EXPECT_FALSE(shell.HasLeftovers());
  EXPECT_TRUE(shell.Leftovers().empty());
}

TEST_F(ShellTest, RunStartsWithTheDeferredRemovalCleanUp) {
  const std::wstring marker = UninstallMarkerName(install_);
  RegKey runOnce;
  ASSERT_TRUE(runOnce.Create(HKEY_LOCAL_MACHINE, kRunOnceKey, KEY_ALL_ACCESS));
  ASSERT_TRUE(runOnce.WriteString(marker, L"cmd /c removeLum.bat"));
  CShell shell(install_, extract_);
  const std::vector<std::wstring> files = shell.DeferredRemovalFiles();
  ASSERT_EQ(4u, files.size());
  for (const std::wstring& file : files) WriteText(file, "x");

  shell.RunScriptTable(Script(L"[none]\r\na=b\r\n"));
  EXPECT_FALSE(runOnce.HasValue(marker));
  for (const std::wstring& file : files) EXPECT_FALSE(FileExists(file)) << WideToUtf8(file);
}

// Records the firewall calls instead of making them (Wine's firewall stores nothing).
class FirewallRecordingShell : public CShell {
 public:
  using CShell::CShell;
  bool AuthorizeApplication(const std::wstring& path, const std::wstring& name) override {
    calls.push_back(L"add " + path + L" " + name);
    return true;
  }
  bool RevokeApplication(const std::wstring& path) override {
    calls.push_back(L"remove " + path);
    return true;
  }
  std::vector<std::wstring> calls;
};

TEST_F(ShellTest, FirewallRemoveWithAThirdFieldIsIgnored) {
  FirewallRecordingShell shell(install_, extract_);
  EXPECT_TRUE(shell.ApplyFirewallTable(Script(
      L"[firewall]\r\nA=remove|safemon\\T.exe|extra\r\nB=Remove|safemon\\T.exe\r\n"
      L"C=add|safemon\\T.exe|Lum Bastion\r\n")));
  EXPECT_EQ((std::vector<std::wstring>{L"remove " + install_ + L"\\safemon\\T.exe",
                                       L"add " + install_ + L"\\safemon\\T.exe Lum Bastion"}),
            shell.calls);
}

TEST_F(ShellTest, ShippedScriptSectionsLoadFromTheResource) {
  CShell shell(install_, extract_);
  EXPECT_TRUE(CShell::SectionExists(kFileResourceType, kResActionScript,
                                    L"CustomMode_EnableBD_AutoDownload"));
  EXPECT_FALSE(CShell::SectionExists(kFileResourceType, kResActionScript, L"NoSuchMode"));
  EXPECT_FALSE(shell.RunRegistrySection(kFileResourceType, kResActionScript, L"NoSuchMode"));
  EXPECT_FALSE(shell.RunScript(kFileResourceType, 4999));
  EXPECT_FALSE(shell.ApplyFirewallSection(kFileResourceType, 4999));

  ASSERT_TRUE(shell.RunRegistrySection(kFileResourceType, kResActionScript,
                                       L"CustomMode_EnableBD_AutoDownload"));
  DWORD value = 0;
  ASSERT_TRUE(ReadDword(L"SOFTWARE\\LumBastion\\ActiveProtection", L"CustomFlags", &value));
  EXPECT_EQ(2u, value);
  RegKey::DeleteTree(HKEY_LOCAL_MACHINE, L"SOFTWARE\\LumBastion", RegView::k32);
}


// --- HKCU commands for every user profile ---
// The profile set-up is that of multi_user_registry_test.cpp: two
// users who are not logged on get ProfileList entries and hive files saved
// from a scratch key; the installer's own profile is the third.

const wchar_t kUsersProfileList[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";
const wchar_t kHiveScratch[] = L"Software\\LumShellHiveScratch";
const wchar_t kUserKey[] = L"Software\\LumShellEveryUser";
const wchar_t kClassKey[] = L"LumShellEveryUser.File";
const wchar_t kCarol[] = L"S-1-5-21-4444-5555-6666-2001";
const wchar_t kDave[] = L"S-1-5-21-4444-5555-6666-2002";

// A hive file holding `subkey` with the values "Drop" and "Keep".
void SaveHiveWithValues(const std::wstring& file, const std::wstring& subkey) {
  testing_hives::SaveHive(file, kHiveScratch, [&](HKEY scratch) {
    RegKey values;
    ASSERT_TRUE(values.Create(scratch, subkey, KEY_ALL_ACCESS));
    ASSERT_TRUE(values.WriteDword(L"Drop", 1));
    ASSERT_TRUE(values.WriteDword(L"Keep", 1));
  });
}

// Which values of HKEY_USERS\<path> remain: "Drop+Keep", "Keep", "<missing>".
std::wstring UserValues(const std::wstring& path) {
  RegKey key;
  if (!key.Open(HKEY_USERS, path, KEY_QUERY_VALUE)) return L"<missing>";
  std::wstring left;
  if (key.HasValue(L"Drop")) left += L"Drop+";
  if (key.HasValue(L"Keep")) left += L"Keep";
  return left;
}

// Counts the per-user deletes (by the hive they land in) and performs them.
class DeleteRecordingShell : public CShell {
 public:
  using CShell::CShell;
  bool DeleteValue(const std::wstring& root, const std::wstring& path,
                   const std::wstring& name) override {
    ++hives[root + L":" + path.substr(0, path.find(L'\\'))];
    return CShell::DeleteValue(root, path, name);
  }
  std::map<std::wstring, int> hives;
};

class ShellEveryUserTest : public ShellTest {
 protected:
  void SetUp() override {
    ShellTest::SetUp();
    CMultiUserRegManager::Reset();
    testing_hives::EnableBackupAndRestore();
    ownSid_ = CurrentUserSidString();
    ASSERT_FALSE(ownSid_.empty());
    for (const wchar_t* sid : {kCarol, kDave}) MakeProfile(sid, root_ + L"\\users\\" + sid);
  }
  void TearDown() override {
    CMultiUserRegManager::Reset();
    for (const wchar_t* sid : {kCarol, kDave}) {
      RegKey::DeleteTree(HKEY_LOCAL_MACHINE, std::wstring(kUsersProfileList) + L"\\" + sid,
                         RegView::k32);
    }
    RegKey::DeleteTree(HKEY_CURRENT_USER, kUserKey);
    ShellTest::TearDown();
  }
  void MakeProfile(const std::wstring& sid, const std::wstring& folder) {
    const std::wstring classesFolder = folder + L"\\AppData\\Local\\Microsoft\\Windows";
    ASSERT_TRUE(CreateFolderTree(classesFolder));
    SaveHiveWithValues(folder + L"\\NTUSER.DAT", kUserKey);
    SaveHiveWithValues(classesFolder + L"\\UsrClass.dat", kClassKey);
    RegKey profile;
    ASSERT_TRUE(profile.Create(HKEY_LOCAL_MACHINE, std::wstring(kUsersProfileList) + L"\\" + sid,
                               KEY_ALL_ACCESS, RegView::k32));
    ASSERT_TRUE(profile.WriteString(L"ProfileImagePath", folder));
  }

  std::wstring ownSid_;
};

TEST_F(ShellEveryUserTest, CurrentUserDeleteReachesEveryProfileOnce) {
  RegKey own;
  ASSERT_TRUE(own.Create(HKEY_CURRENT_USER, kUserKey, KEY_ALL_ACCESS));
  own.WriteDword(L"Drop", 1);
  own.WriteDword(L"Keep", 1);
  own = RegKey();

  DeleteRecordingShell shell(install_, extract_);
  ASSERT_TRUE(shell.RunRegistrySectionTable(
      Script(std::wstring(L"[reg]\r\n1=deleteval|HKCU|") + kUserKey + L"|Drop\r\n" +
             L"2=deleteval|HKCU|Software\\Classes\\" + kClassKey + L"|Drop\r\n"),
      L"reg"));

  // Read while the manager (the one the shell used) still holds the hives.
  ASSERT_TRUE(CMultiUserRegManager::Exists());
  for (const std::wstring& sid : {std::wstring(kCarol), std::wstring(kDave), ownSid_}) {
    EXPECT_EQ(L"Keep", UserValues(sid + L"\\" + kUserKey)) << WideToUtf8(sid);
    EXPECT_EQ(1, shell.hives[L"HKU:" + sid]) << WideToUtf8(sid);
  }
  for (const wchar_t* sid : {kCarol, kDave}) {
    EXPECT_TRUE(CMultiUserRegManager::Instance().Helper(sid)->LoadedClassesHive());
    EXPECT_EQ(L"Keep", UserValues(std::wstring(sid) + L"_Classes\\" + kClassKey));
    EXPECT_EQ(1, shell.hives[L"HKU:" + std::wstring(sid) + L"_Classes"]);
  }
  for (const auto& hive : shell.hives) EXPECT_EQ(1, hive.second) << WideToUtf8(hive.first);
  // The installer's own key is the same one seen through HKEY_CURRENT_USER.
  RegKey read;
  ASSERT_TRUE(read.Open(HKEY_CURRENT_USER, kUserKey, KEY_QUERY_VALUE));
  EXPECT_FALSE(read.HasValue(L"Drop"));
  EXPECT_TRUE(read.HasValue(L"Keep"));
}

}  // namespace
}  // namespace lum
