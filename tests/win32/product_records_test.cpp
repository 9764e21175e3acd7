// The install run's product records against Wine's registry and files: the
// scrambled theme and business hash records read back by the product's
// reader, the component scan's entries for the real-time monitor, and the
// removal of an account whose link no longer matches.
#include <gtest/gtest.h>
#include <windows.h>
// These build on windows.h.
#include <shlobj.h>

#include <ctime>
#include <string>

#include "base/json.h"
#include "base/text.h"
#include "install/account_link.h"
#include "install/account_link_win.h"
#include "install/component_scan_win.h"
#include "install/product_records.h"
#include "install/product_records_win.h"
#include "install/product_registry_win.h"
#include "report/machine_id_win.h"
#include "system/file_ops_win.h"
#include "system/registry_win.h"
#include "tests/wine/planted_link.h"

namespace lum {
namespace {

std::wstring ReadString(HKEY root, const std::wstring& key, const std::wstring& name) {
  RegKey reg;
  std::wstring value;
  if (!reg.Open(root, key, KEY_QUERY_VALUE) || !reg.ReadString(name, &value)) return L"<none>";
  return value;
}

bool WriteString(HKEY root, const std::wstring& key, const std::wstring& name,
                 const std::wstring& value) {
  RegKey reg;
  return reg.Create(root, key, KEY_SET_VALUE) && reg.WriteString(name, value);
}

bool WriteFileText(const std::wstring& path, const char* text) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const BOOL ok = WriteFile(file, text, static_cast<DWORD>(strlen(text)), &written, nullptr);
  CloseHandle(file);
  return ok != FALSE;
}

// What the product's reader (tools/config_decode --record NAME) makes of a
// stored value: the same key lookup and cipher.
JsonValue ProductReads(ProductRecord record, const std::wstring& stored) {
  std::string json;
  JsonValue root;
  if (!UnscrambleRecord(record, stored, &json) || !ParseJson(json, &root)) return JsonValue();
  return root;
}

TEST(ProductRecordsTest, StoredRecordsReadBackAsTheirJson) {
  const int64_t before = static_cast<int64_t>(std::time(nullptr));
  ASSERT_TRUE(StoreThemeRecord(L"smurf"));
  const std::wstring themeText = ReadString(HKEY_CURRENT_USER, kThemeKey, L"ext");
  EXPECT_EQ(std::wstring::npos, themeText.find(L"smurf")) << WideToUtf8(themeText);
  const JsonValue theme = ProductReads(ProductRecord::kTheme, themeText);
  ASSERT_TRUE(theme.IsObject()) << WideToUtf8(themeText);
  EXPECT_EQ(4u, theme.size());
  EXPECT_EQ("smurf", theme["theme_name"].AsString());
  EXPECT_TRUE(theme["theme_type"].IsInt() && theme["theme_type"].AsInt() == 1);
  ASSERT_TRUE(theme["time"].IsString());
  const int64_t time = std::stoll(theme["time"].AsString());
  EXPECT_TRUE(time >= before && time <= before + 60) << time;
  EXPECT_EQ(WideToUtf8(MidText()), theme["uid"].AsString());
  EXPECT_EQ(32u, theme["uid"].AsString().size());

  ASSERT_TRUE(StoreBusinessHash(L"Zm9vYmFy\"x"));
  const std::wstring hashText = ReadString(HKEY_LOCAL_MACHINE, kBusinessKey, L"Hash");
  const JsonValue hash = ProductReads(ProductRecord::kBusinessHash, hashText);
  ASSERT_TRUE(hash.IsObject()) << WideToUtf8(hashText);
  EXPECT_EQ(1u, hash.size());
  EXPECT_EQ("Zm9vYmFy\"x", hash["hash"].AsString());
  std::wstring back;
  ASSERT_TRUE(ReadBusinessHash(&back));
  EXPECT_EQ(L"Zm9vYmFy\"x", back);

  // A value the product did not write is no record: nothing to compare with.
  ASSERT_TRUE(WriteString(HKEY_LOCAL_MACHINE, kBusinessKey, L"Hash", L"{\"hash\":\"plain\"}"));
  EXPECT_FALSE(ReadBusinessHash(&back));
  RegKey::DeleteTree(HKEY_LOCAL_MACHINE, kBusinessKey);
  EXPECT_FALSE(ReadBusinessHash(&back));
}

constexpr const wchar_t* kServices = L"SYSTEM\\CurrentControlSet\\Services\\";

void PlantService(const wchar_t* name, const wchar_t* group, DWORD start) {
  RegKey key;
  ASSERT_TRUE(key.Create(HKEY_LOCAL_MACHINE, kServices + std::wstring(name), KEY_SET_VALUE));
  ASSERT_TRUE(key.WriteString(L"Group", group));
  ASSERT_TRUE(key.WriteString(L"DisplayName", std::wstring(name) + L" display"));
  ASSERT_TRUE(key.WriteDword(L"Start", start));
}

TEST(ProductRecordsTest, ComponentScanLeavesOnlyThisScansOtherFileMonitors) {
  ASSERT_TRUE(WriteString(HKEY_LOCAL_MACHINE, kComponentScanKey, L"StaleAv", L"from before"));
  // Wine itself carries no antivirus filter: nothing but stale entries to clear.
  EXPECT_EQ(0, RunComponentScan());
  EXPECT_FALSE(RegKey::Exists(HKEY_LOCAL_MACHINE, kComponentScanKey));

  PlantService(L"LumTestOtherAv", L"FSFilter Anti-Virus", 0);
  PlantService(L"LumAvFlt", L"FSFilter Anti-Virus", 3);
  PlantService(L"LumTestOffAv", L"FSFilter Anti-Virus", 4);
  PlantService(L"LumTestBackup", L"FSFilter Continuous Backup", 0);
  ASSERT_TRUE(WriteString(HKEY_LOCAL_MACHINE, kComponentScanKey, L"StaleAv", L"from before"));
  EXPECT_EQ(1, RunComponentScan());
  EXPECT_EQ(L"LumTestOtherAv display",
            ReadString(HKEY_LOCAL_MACHINE, kComponentScanKey, L"LumTestOtherAv"));
  RegKey entries;
  ASSERT_TRUE(entries.Open(HKEY_LOCAL_MACHINE, kComponentScanKey, KEY_QUERY_VALUE));
  DWORD values = 0;
  ASSERT_EQ(ERROR_SUCCESS, RegQueryInfoKeyW(entries.Get(), nullptr, nullptr, nullptr, nullptr,
                                            nullptr, nullptr, &values, nullptr, nullptr, nullptr,
                                            nullptr));
  EXPECT_EQ(1u, values);
  for (const wchar_t* name : {L"LumTestOtherAv", L"LumAvFlt", L"LumTestOffAv", L"LumTestBackup"})
    RegKey::DeleteTree(HKEY_LOCAL_MACHINE, kServices + std::wstring(name));
  RegKey::DeleteTree(HKEY_LOCAL_MACHINE, kComponentScanKey);
}

TEST(ProductRecordsTest, AccountLinkThatNoLongerMatchesRemovesExactlyTheAccountRecords) {
  const std::wstring activity = AccountActivityLogPath();
  const std::wstring picture = ProfilePicturePath();
  ASSERT_FALSE(activity.empty());
  const std::wstring folder = activity.substr(0, activity.find_last_of(L'\\'));
  ASSERT_EQ(0, SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr));
  const std::wstring other = folder + L"\\settings.dat";
  for (const std::wstring& file : {activity, picture, other})
    ASSERT_TRUE(WriteFileText(file, "x"));
  ASSERT_TRUE(WriteString(HKEY_CURRENT_USER, kAccountProfileKey, L"Param", L"p"));
  ASSERT_TRUE(WriteString(HKEY_CURRENT_USER, kAccountProfileKey + std::wstring(L"\\Sub"), L"v", L"s"));
  ASSERT_TRUE(WriteString(HKEY_CURRENT_USER, kAccountLinkKey, L"Token", L"t"));
  ASSERT_TRUE(WriteString(HKEY_CURRENT_USER, kExperienceKey, L"Kept", L"k"));
  ASSERT_TRUE(WriteString(HKEY_LOCAL_MACHINE, kUserProfileKey, L"Kept", L"k"));

  // The installed business edition recorded one hash; this run carries another.
  ASSERT_TRUE(StoreBusinessHash(L"old-account"));
  AccountLinkFacts link;
  link.storedHashKnown = ReadBusinessHash(&link.storedHash);
  link.baseEdition = 2;
  link.hashKind = 1;
  link.hashValue = L"new-account";
  ASSERT_FALSE(AccountLinkMatches(link));
  RemoveAccountRecords();

  EXPECT_FALSE(FileExists(activity));
  EXPECT_FALSE(FileExists(picture));
  EXPECT_TRUE(FileExists(other));
  EXPECT_FALSE(RegKey::Exists(HKEY_CURRENT_USER, kAccountProfileKey));
  EXPECT_FALSE(RegKey::Exists(HKEY_CURRENT_USER, kAccountLinkKey));
  EXPECT_EQ(L"k", ReadString(HKEY_CURRENT_USER, kExperienceKey, L"Kept"));
  EXPECT_EQ(L"k", ReadString(HKEY_LOCAL_MACHINE, kUserProfileKey, L"Kept"));
  std::wstring stored;  // the record is the marker step's, not touched here
  EXPECT_TRUE(ReadBusinessHash(&stored));
  EXPECT_EQ(L"old-account", stored);

  // Nothing left to remove is no failure.
  RemoveAccountRecords();
  DeleteFileW(other.c_str());
  RegKey::DeleteTree(HKEY_LOCAL_MACHINE, kBusinessKey);

  // The user's folder replaced by a link to another folder: its files stay.
  ASSERT_TRUE(RemoveDirectoryW(folder.c_str()));
  const std::wstring elsewhere = folder + L"-elsewhere";
  ASSERT_TRUE(CreateDirectoryW(elsewhere.c_str(), nullptr));
  ASSERT_TRUE(WriteFileText(elsewhere + L"\\activity.log", "keep"));
  ASSERT_TRUE(planted::PlantFolderLink(folder, elsewhere));
  RemoveAccountRecords();
  EXPECT_TRUE(FileExists(elsewhere + L"\\activity.log"));
  EXPECT_TRUE(planted::RemovePlantedLink(folder));
}

}  // namespace
}  // namespace lum
