// The start-up steps one by one, in-process, against Wine's real registry,
// files and kernel objects.
#include <gtest/gtest.h>
#include <windows.h>
// These headers build on windows.h.
#include <shlobj.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/startup_win.h"
#include "base/exit_codes.h"
#include "base/text.h"
#include "session/command_line_win.h"
#include "system/file_ops_win.h"
#include "system/reboot_ops_win.h"
#include "system/registry_win.h"
#include "system/windows_restart_win.h"
#include "system/win_handle_win.h"
#include "system/windows_version_win.h"
#include "tests/win32/folder_rights.h"
#include "vendor/base_module_win.h"

namespace lum {
namespace {

std::wstring TempFolder() {
  wchar_t temp[MAX_PATH + 1] = {};
  GetTempPathW(MAX_PATH, temp);
  return temp;
}

// A scratch folder under %TEMP%, removed with everything in it.
class ScratchFolder {
 public:
  explicit ScratchFolder(const std::wstring& name)
      : path_(TempFolder() + name + L"_" + std::to_wstring(GetCurrentProcessId())) {
    DeleteFolderTree(path_);
    CreateDirectoryW(path_.c_str(), nullptr);
  }
  ~ScratchFolder() { DeleteFolderTree(path_); }
  const std::wstring& Path() const { return path_; }
  std::wstring Sub(const std::wstring& name) const { return path_ + L"\\" + name; }

 private:
  std::wstring path_;
};

void WriteTextFile(const std::wstring& path, const char* text) {
  UniqueFileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(file.Valid());
  DWORD written = 0;
  ::WriteFile(file.Get(), text, static_cast<DWORD>(strlen(text)), &written, nullptr);
}

constexpr const wchar_t* kTestKey = L"SOFTWARE\\LumStartupStepsTest";

class RegistryTest : public ::testing::Test {
 protected:
  void TearDown() override {
    RegKey::DeleteTree(HKEY_LOCAL_MACHINE, kTestKey, RegView::k32);
    RegKey::DeleteTree(HKEY_LOCAL_MACHINE, kTestKey, RegView::k64);
  }
};

TEST_F(RegistryTest, ValuesRoundTripInEachViewAndStayInTheirView) {
  RegKey key32, key64;
  ASSERT_TRUE(key32.Create(HKEY_LOCAL_MACHINE, kTestKey, KEY_ALL_ACCESS, RegView::k32));
  ASSERT_TRUE(key64.Create(HKEY_LOCAL_MACHINE, kTestKey, KEY_ALL_ACCESS, RegView::k64));
  EXPECT_TRUE(key32.WriteDword(L"Mode", 32));
  EXPECT_TRUE(key64.WriteDword(L"Mode", 64));
  EXPECT_TRUE(key32.WriteString(L"Path", L"C:\\Program Files (x86)\\Lum\\Bastion"));

  RegKey read32, read64;
  ASSERT_TRUE(read32.Open(HKEY_LOCAL_MACHINE, kTestKey, KEY_QUERY_VALUE, RegView::k32));
  ASSERT_TRUE(read64.Open(HKEY_LOCAL_MACHINE, kTestKey, KEY_QUERY_VALUE, RegView::k64));
  DWORD value = 0;
  ASSERT_TRUE(read32.ReadDword(L"Mode", &value));
  EXPECT_EQ(32u, value);
  ASSERT_TRUE(read64.ReadDword(L"Mode", &value));
  EXPECT_EQ(64u, value);
  std::wstring text;
  ASSERT_TRUE(read32.ReadString(L"Path", &text));
  EXPECT_EQ(L"C:\\Program Files (x86)\\Lum\\Bastion", text);
  if (Is64BitWindows()) {
    EXPECT_FALSE(read64.HasValue(L"Path"));  // the 64-bit view is another key
  }
  // The default view is the 32-bit one: by redirection in a 32-bit build, by
  // the wrapper's own choice in a 64-bit one.
  RegKey readDefault;
  ASSERT_TRUE(readDefault.Open(HKEY_LOCAL_MACHINE, kTestKey, KEY_QUERY_VALUE));
  ASSERT_TRUE(readDefault.ReadDword(L"Mode", &value));
  EXPECT_EQ(32u, value);
}

TEST_F(RegistryTest, TypeMismatchMissingValuesAndDeletion) {
  RegKey key;
  ASSERT_TRUE(key.Create(HKEY_LOCAL_MACHINE, kTestKey, KEY_ALL_ACCESS, RegView::k32));
  ASSERT_TRUE(key.WriteString(L"Text", L"7"));
  ASSERT_TRUE(key.WriteString(L"Empty", L""));
  DWORD number = 99;
  EXPECT_FALSE(key.ReadDword(L"Text", &number));  // a string is no DWORD
  EXPECT_EQ(99u, number);
  std::wstring text = L"untouched";
  EXPECT_TRUE(key.ReadString(L"Empty", &text));
  EXPECT_EQ(L"", text);
  EXPECT_FALSE(key.ReadString(L"Missing", &text));
  EXPECT_TRUE(key.DeleteValue(L"Text"));
  EXPECT_FALSE(key.DeleteValue(L"Text"));  // only an existing value counts as deleted
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, key.LastError());

  RegKey missing;
  EXPECT_FALSE(missing.Open(HKEY_LOCAL_MACHINE, L"SOFTWARE\\LumNoSuchKey", KEY_READ));
  EXPECT_FALSE(RegKey::Exists(HKEY_LOCAL_MACHINE, L"SOFTWARE\\LumNoSuchKey"));
  ASSERT_TRUE(key.Create(HKEY_LOCAL_MACHINE, std::wstring(kTestKey) + L"\\Sub\\Deeper",
                         KEY_ALL_ACCESS, RegView::k32));
  EXPECT_TRUE(RegKey::DeleteTree(HKEY_LOCAL_MACHINE, kTestKey, RegView::k32));
  EXPECT_FALSE(RegKey::Exists(HKEY_LOCAL_MACHINE, kTestKey, RegView::k32));
  EXPECT_TRUE(RegKey::DeleteTree(HKEY_LOCAL_MACHINE, kTestKey, RegView::k32));  // already gone
}

TEST(CompatLayerTest, ValueForThisPathIsFoundUnderTheUsersSidAndDeletedOnce) {
  const std::wstring exe = L"C:\\users\\Public\\Downloads\\LumBastionSetup_layer_test.exe";
  const std::wstring other = L"C:\\users\\Public\\Downloads\\other.exe";
  RegKey layers;  // written through HKCU, read back through HKEY_USERS\<SID>
  ASSERT_TRUE(layers.Create(HKEY_CURRENT_USER, kCompatLayersKey, KEY_ALL_ACCESS));
  ASSERT_TRUE(layers.WriteString(exe, L"~ WINXPSP3"));
  ASSERT_TRUE(layers.WriteString(other, L"~ WIN7RTM"));

  EXPECT_FALSE(CurrentUserSidString().empty());
  EXPECT_TRUE(DeleteCompatLayerValue(exe));
  EXPECT_FALSE(layers.HasValue(exe));
  EXPECT_TRUE(layers.HasValue(other));        // only this installer's value goes
  EXPECT_FALSE(DeleteCompatLayerValue(exe));  // nothing left: no restart would follow
  layers.DeleteValue(other);
}

TEST(CompatLayerTest, MuiCacheNameIsDeletedForThePathOnly) {
  const std::wstring exe = L"C:\\users\\Public\\Downloads\\LumBastionSetup_mui_test.exe";
  RegKey cache;
  ASSERT_TRUE(cache.Create(HKEY_CLASSES_ROOT,
                           L"Local Settings\\Software\\Microsoft\\Windows\\Shell\\MuiCache",
                           KEY_ALL_ACCESS));
  ASSERT_TRUE(cache.WriteString(exe + L".FriendlyAppName", L"Setup"));
  ASSERT_TRUE(cache.WriteString(exe + L".ApplicationCompany", L"Lum"));
  EXPECT_TRUE(ClearMuiCacheName(exe));
  EXPECT_FALSE(cache.HasValue(exe + L".FriendlyAppName"));
  EXPECT_TRUE(cache.HasValue(exe + L".ApplicationCompany"));
  EXPECT_FALSE(ClearMuiCacheName(exe));
  cache.DeleteValue(exe + L".ApplicationCompany");
}

TEST(SingleInstanceTest, SecondAcquireWhileHeldGives105AndReleaseFreesIt) {
  UniqueHandle first;
  ASSERT_EQ(0, AcquireSingleInstance(true, &first));
  ASSERT_TRUE(first.Valid());
  UniqueHandle second;
  EXPECT_EQ(kExitOtherInstance, AcquireSingleInstance(true, &second));
  EXPECT_FALSE(second.Valid());  // the duplicate handle is not kept
  // Interactive: looking for the other window must not hang or crash without one.
  EXPECT_EQ(kExitOtherInstance, AcquireSingleInstance(false, &second));
  first.Reset();
  EXPECT_EQ(0, AcquireSingleInstance(true, &second));
}

TEST(BaseModuleFolderTest, NameFormAndFreshFolderWhenTheNameIsTaken) {
  EXPECT_EQ(L"00000042_00001234_base", FormBaseFolderName(42, 1234));
  EXPECT_EQ(L"1765000000_00000007_base", FormBaseFolderName(1765000000u, 7));

  ScratchFolder parent(L"lum_base_parent");
  const std::wstring name = L"00000001_00000002_base";
  // Someone prepared the predictable folder (with a DLL in it) before us.
  ASSERT_TRUE(CreateDirectoryW(parent.Sub(name).c_str(), nullptr));
  WriteTextFile(parent.Sub(name) + L"\\Lumbase.dll", "planted");
  const std::wstring fresh = CreateFreshPrivateFolder(parent.Path(), name);
  EXPECT_EQ(parent.Sub(name) + L"_1", fresh);
  EXPECT_TRUE(FolderExists(fresh));
  EXPECT_FALSE(FileExists(fresh + L"\\Lumbase.dll"));

  // A file of the next name counts as taken too.
  WriteTextFile(parent.Sub(name) + L"_2", "x");
  EXPECT_EQ(parent.Sub(name) + L"_3", CreateFreshPrivateFolder(parent.Path(), name));
  // All tries taken: no folder, never an existing one.
  for (int i = 4; i < 16; ++i)
    CreateDirectoryW((parent.Sub(name) + L"_" + std::to_wstring(i)).c_str(), nullptr);
  EXPECT_EQ(L"", CreateFreshPrivateFolder(parent.Path(), name));
  // A missing parent fails at once.
  EXPECT_EQ(L"", CreateFreshPrivateFolder(parent.Sub(L"missing"), name));
}

TEST(BaseModuleFolderTest, ExtractWritesTheModuleAndSchedulesItsFolderForRestart) {
  // Wine runs this process elevated: the module goes under the Windows
  // temporary folder, never under %TEMP%, into a folder only SYSTEM and the
  // Administrators may write to.
  ASSERT_TRUE(TokenIsElevated());
  std::wstring folder;
  ASSERT_EQ(BaseModuleResult::kWritten, ExtractBaseModule(&folder));
  ASSERT_FALSE(WindowsTempFolder().empty());
  EXPECT_EQ(0u, folder.find(WindowsTempFolder())) << WideToUtf8(folder);
  EXPECT_NE(0u, folder.find(TempFolder())) << WideToUtf8(folder);
  EXPECT_TRUE(FileExists(folder + L"\\Lumbase.dll"));
  EXPECT_TRUE(IsProtectedFolderOfThisRun(folder));
  EXPECT_EQ("", ProtectedFolderRequestWriters(kProtectedFolderSddl));
  if (FolderRightsAreKept())
    EXPECT_EQ("", FolderWritersOtherThanSystemAndAdministrators(folder));
  else
    std::printf("[note] Wine keeps no folder DACL: the rights asked for were checked instead\n");
  // Elevated, the module is bound from no other folder.
  const std::wstring planted = TempFolder() + L"lum_planted_base";
  CreateDirectoryW(planted.c_str(), nullptr);
  ASSERT_TRUE(CopyFileW((folder + L"\\Lumbase.dll").c_str(), (planted + L"\\Lumbase.dll").c_str(),
                        FALSE));
  EXPECT_FALSE(LoadBaseModule(planted + L"\\Lumbase.dll"));
  DeleteFolderTree(planted);

  RegKey sessionManager;
  ASSERT_TRUE(sessionManager.Open(
      HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\Session Manager", KEY_QUERY_VALUE));
  DWORD type = 0, size = 0;
  ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExW(sessionManager.Get(), L"PendingFileRenameOperations",
                                            nullptr, &type, nullptr, &size));
  std::vector<wchar_t> pending(size / sizeof(wchar_t) + 1);
  RegQueryValueExW(sessionManager.Get(), L"PendingFileRenameOperations", nullptr, &type,
                   reinterpret_cast<BYTE*>(pending.data()), &size);
  std::wstring all;
  for (size_t i = 0; i < size / sizeof(wchar_t); ++i) all += pending[i] ? pending[i] : L'|';
  EXPECT_NE(std::wstring::npos, all.find(folder + L"\\Lumbase.dll|"));
  EXPECT_NE(std::wstring::npos, all.find(folder + L"|"));
}

TEST(BaseModuleFolderTest, ElevatedRunIgnoresTempAndTakesTheWindowsTemporaryFolder) {
  wchar_t savedTmp[MAX_PATH + 1] = {}, savedTemp[MAX_PATH + 1] = {};
  GetEnvironmentVariableW(L"TMP", savedTmp, MAX_PATH);
  GetEnvironmentVariableW(L"TEMP", savedTemp, MAX_PATH);
  const std::wstring missing = TempFolder() + L"lum_no_such_temp\\";
  SetEnvironmentVariableW(L"TMP", missing.c_str());
  SetEnvironmentVariableW(L"TEMP", missing.c_str());
  std::wstring folder;
  const BaseModuleResult result = ExtractBaseModule(&folder);
  SetEnvironmentVariableW(L"TMP", savedTmp[0] ? savedTmp : nullptr);
  SetEnvironmentVariableW(L"TEMP", savedTemp[0] ? savedTemp : nullptr);

  // %TEMP% names a folder of the user's choosing; the elevated run never
  // looks at it.
  ASSERT_EQ(BaseModuleResult::kWritten, result);
  EXPECT_EQ(0u, folder.find(WindowsTempFolder())) << WideToUtf8(folder);
  EXPECT_TRUE(FileExists(folder + L"\\Lumbase.dll"));
  EXPECT_FALSE(FolderExists(missing));  // nothing was created where TEMP pointed
  DeleteFolderTree(folder);
}

TEST(FileOpsTest, DeleteFolderTreeRemovesNestedAndReadOnlyEntries) {
  ScratchFolder root(L"lum_tree");
  ASSERT_TRUE(CreateDirectoryW(root.Sub(L"a").c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryW(root.Sub(L"a\\b").c_str(), nullptr));
  WriteTextFile(root.Sub(L"a\\b\\locked.txt"), "x");
  SetFileAttributesW(root.Sub(L"a\\b\\locked.txt").c_str(), FILE_ATTRIBUTE_READONLY);
  WriteTextFile(root.Sub(L"top.txt"), "y");
  EXPECT_TRUE(DeleteFolderTree(root.Path()));
  EXPECT_FALSE(FolderExists(root.Path()));
  EXPECT_TRUE(DeleteFolderTree(root.Path()));  // nothing there: done

  // A file that is held open without delete sharing keeps its folder alive.
  ScratchFolder busy(L"lum_busy");
  WriteTextFile(busy.Sub(L"open.txt"), "z");
  UniqueFileHandle held(CreateFileW(busy.Sub(L"open.txt").c_str(), GENERIC_READ, FILE_SHARE_READ,
                                    nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(held.Valid());
  EXPECT_FALSE(DeleteFolderTree(busy.Path()));
}

TEST(RelocationTest, FolderIsCreatedFreshAndAForeignOneIsNeverTaken) {
  ScratchFolder parent(L"lum_relocate");
  EXPECT_EQ(parent.Sub(L"1765000000_0"), CreateRelocationFolder(parent.Path(), 1765000000ull));
  EXPECT_TRUE(FolderExists(parent.Sub(L"1765000000_0")));
  WriteTextFile(parent.Sub(L"1765000000_1"), "a file takes the name too");
  EXPECT_EQ(parent.Sub(L"1765000000_2"), CreateRelocationFolder(parent.Path(), 1765000000ull));
  // 64-bit seconds are printed in full.
  EXPECT_EQ(parent.Sub(L"8589934592_0"), CreateRelocationFolder(parent.Path(), 8589934592ull));
  // Every name taken, the last by someone else's folder with content: no
  // folder for this run, and the foreign one keeps what it holds.
  for (int i = 3; i <= 10; ++i)
    CreateDirectoryW(parent.Sub(L"1765000000_" + std::to_wstring(i)).c_str(), nullptr);
  WriteTextFile(parent.Sub(L"1765000000_10\\theirs.txt"), "not ours");
  EXPECT_EQ(L"", CreateRelocationFolder(parent.Path(), 1765000000ull));
  EXPECT_TRUE(FileExists(parent.Sub(L"1765000000_10\\theirs.txt")));
}

TEST(RelocationTest, ProductFolderTestAndCommandLine) {
  EXPECT_TRUE(RunsFromProductFolder(L"C:\\Lum\\Bastion\\setup.exe", L"C:\\Lum\\Bastion"));
  EXPECT_TRUE(RunsFromProductFolder(L"c:\\lum\\BASTION\\sub\\setup.exe", L"C:\\Lum\\Bastion\\"));
  EXPECT_FALSE(RunsFromProductFolder(L"C:\\Lum\\Bastion2\\setup.exe", L"C:\\Lum\\Bastion"));
  EXPECT_FALSE(RunsFromProductFolder(L"C:\\Lum\\Bastion\\", L"C:\\Lum\\Bastion"));
  EXPECT_FALSE(RunsFromProductFolder(L"C:\\Downloads\\setup.exe", L""));

  EXPECT_EQ(L"\"C:\\P\\1_0\\setup.exe\" /BNinstall",
            RelocationCommandLine(L"C:\\P\\1_0\\setup.exe", L""));
  EXPECT_EQ(L"\"C:\\P\\1_0\\setup.exe\" /s /c:ab /BNinstall",
            RelocationCommandLine(L"C:\\P\\1_0\\setup.exe", L"/s /c:ab"));
  const std::wstring parent = RelocationParent();
  ASSERT_FALSE(parent.empty());
  EXPECT_EQ(
      Is64BitWindows() ? std::wstring(L"C:\\Program Files (x86)") : std::wstring(L"C:\\Program Files"),
      parent);
}

// The session manager's list of restart-time operations, as raw bytes, so a
// test can put it back as it found it.
std::string PendingRenameBytes() {
  RegKey key;
  if (!key.Open(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\Session Manager",
                KEY_QUERY_VALUE))
    return std::string();
  DWORD size = 0, type = 0;
  if (RegQueryValueExW(key.Get(), L"PendingFileRenameOperations", nullptr, &type, nullptr, &size) !=
      ERROR_SUCCESS)
    return std::string();
  std::string bytes(size, '\0');
  RegQueryValueExW(key.Get(), L"PendingFileRenameOperations", nullptr, &type,
                   reinterpret_cast<BYTE*>(&bytes[0]), &size);
  return bytes;
}

void RestorePendingRenames(const std::string& bytes) {
  RegKey key;
  ASSERT_TRUE(key.Open(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\Session Manager",
                       KEY_SET_VALUE));
  if (bytes.empty())
    RegDeleteValueW(key.Get(), L"PendingFileRenameOperations");
  else
    RegSetValueExW(key.Get(), L"PendingFileRenameOperations", 0, REG_MULTI_SZ,
                   reinterpret_cast<const BYTE*>(bytes.data()), static_cast<DWORD>(bytes.size()));
}

// The relocated copy that a "Lumts" entry names outlives its relocating run;
// the run the entry starts runs it in place and, once nothing needs it any
// more, has it removed (its own running image can only go at the restart).
TEST(RelocationTest, RestartCopyIsKeptWhileTheEntryNamesItAndReleasedByTheRunItStarts) {
  const std::wstring parent = RelocationParent();
  ASSERT_FALSE(parent.empty());
  const std::wstring folder = CreateRelocationFolder(parent, 1765000123ull);
  ASSERT_FALSE(folder.empty());
  const std::wstring copy = folder + L"\\LumBastionSetup.exe";
  WriteTextFile(copy, "installer");
  EXPECT_TRUE(IsRelocationCopy(copy));
  ScratchFolder downloads(L"lum_downloads");
  WriteTextFile(downloads.Sub(L"LumBastionSetup.exe"), "installer");
  EXPECT_FALSE(IsRelocationCopy(downloads.Sub(L"LumBastionSetup.exe")));
  EXPECT_FALSE(IsRelocationCopy(parent + L"\\Lum\\LumBastionSetup.exe"));
  const std::string renames = PendingRenameBytes();

  ASSERT_TRUE(WriteRestartRerunEntry(copy));
  EXPECT_TRUE(RestartRerunEntryNames(copy));
  EXPECT_FALSE(ReleaseRestartCopy(copy, L"/post:wait", false)) << "named by the entry";
  // Windows deletes the entry before it starts the run.
  {
    RegKey runOnce;
    ASSERT_TRUE(runOnce.Open(HKEY_LOCAL_MACHINE, kRunOnceKey, KEY_SET_VALUE));
    runOnce.DeleteValue(L"Lumts");
  }
  EXPECT_FALSE(RestartRerunEntryNames(copy));
  EXPECT_FALSE(ReleaseRestartCopy(copy, L"/post /BNinstall", false)) << "a relocated child";
  EXPECT_FALSE(ReleaseRestartCopy(copy, L"/post", true)) << "its waiting copy runs from it";
  EXPECT_FALSE(ReleaseRestartCopy(downloads.Sub(L"LumBastionSetup.exe"), L"/post:wait", false));
  EXPECT_EQ(renames, PendingRenameBytes());
  EXPECT_TRUE(ReleaseRestartCopy(copy, L"/post:wait", false));
  const std::string after = PendingRenameBytes();
  const std::wstring scheduled(reinterpret_cast<const wchar_t*>(after.data()),
                               after.size() / sizeof(wchar_t));
  EXPECT_NE(std::wstring::npos, ToLowerAscii(scheduled).find(ToLowerAscii(copy)));
  RestorePendingRenames(renames);
  DeleteFolderTree(folder);
}

TEST(RelocationTest, SwitchAlreadyGivenNeverRelocates) {
  HandOver handOver;
  handOver.code = 77;
  EXPECT_FALSE(RelocateAndRerun(L"/s /bninstall", &handOver));
  EXPECT_FALSE(RelocateAndRerun(L"/BNINSTALL", &handOver));
  EXPECT_EQ(77u, handOver.code);
  EXPECT_FALSE(handOver.resultRead);
}

TEST(CommandTailTest, EmptyTailHasNoArgumentsAndQuotesGroup) {
  std::vector<std::wstring> args{L"stale"};
  ASSERT_TRUE(SplitCommandLineTail(L"", &args));
  EXPECT_TRUE(args.empty());  // not the program's own path
  ASSERT_TRUE(SplitCommandLineTail(L"   ", &args));
  EXPECT_TRUE(args.empty());
  ASSERT_TRUE(SplitCommandLineTail(L"/S:\"C:\\My Tools\" /c:ab", &args));
  ASSERT_EQ(2u, args.size());
  EXPECT_EQ(L"/c:ab", args[1]);
  CommandLineOptions options;
  EXPECT_FALSE(ParseCommandLineTail(L"", L':', options));
  ASSERT_TRUE(ParseCommandLineTail(L"/S:\"C:\\My Tools\" /campaign:a:b", L':', options));
  std::wstring value;
  ASSERT_TRUE(options.Get(L"s", value));
  EXPECT_EQ(L"C:\\My Tools", value);
  ASSERT_TRUE(options.Get(L"campaign", value));
  EXPECT_EQ(L"a:b", value);
}

TEST(ElevationTest, TokenFactsDecideWhetherToRelaunch) {
  // Wine runs every process as an elevated administrator.
  ASSERT_TRUE(TokenIsAdmin());
  EXPECT_TRUE(TokenIsElevated());
  EXPECT_TRUE(TokenInAdministratorsGroup());
  EXPECT_FALSE(NeedsElevation(true));
  EXPECT_TRUE(NeedsElevation(false));  // a non-administrator token always needs it
  // The XP x64 exception applies to version 5.2 only.
  EXPECT_FALSE(ElevationCheckSkipped(true));
  EXPECT_TRUE(GetWindowsVersion().AtLeast(5, 1));
}

TEST(PreloadTest, FixedListInOrderAndSystemLibrariesLoad) {
  const auto& names = PreloadLibraryNames();
  ASSERT_EQ(87u, names.size());
  EXPECT_STREQ(L"api-ms-win-downlevel-shlwapi-l2-1-0.dll", names.front());
  EXPECT_STREQ(L"hnetcfg.dll", names.back());
  EXPECT_STREQ(L"VERSION.dll", names[31]);
  // Wine has many of them; the count proves the paths are well formed.
  EXPECT_GT(PreloadSystemLibraries(false), 40);
}

}  // namespace
}  // namespace lum
