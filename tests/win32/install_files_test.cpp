// The install engine's file writers against Wine's real files and registry:
// the component manifest, the settings backup and the theme's font block.
#include <gtest/gtest.h>
#include <windows.h>
// These headers build on windows.h.
#include <aclapi.h>
#include <sddl.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "base/install_log.h"
#include "base/text.h"
#include "i18n/font_rules.h"
#include "install/component_manifest.h"
#include "install/settings_backup.h"
#include "install/shell_win.h"
#include "payload/resource_file_win.h"
#include "system/file_bytes_win.h"
#include "system/file_ops_win.h"
#include "system/registry_win.h"
#include "system/win_handle_win.h"
#include "tests/wine/planted_link.h"

namespace lum {
namespace {

constexpr const wchar_t* kAppPaths =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\ZVSafeMain.exe";

// A scratch folder under %TEMP%, removed with everything in it.
class Scratch {
 public:
  explicit Scratch(const std::wstring& name) {
    wchar_t temp[MAX_PATH + 1] = {};
    ::GetTempPathW(MAX_PATH, temp);
    path_ = std::wstring(temp) + name + L"_" + std::to_wstring(::GetCurrentProcessId());
    DeleteFolderTree(path_);
    ::CreateDirectoryW(path_.c_str(), nullptr);
  }
  ~Scratch() { DeleteFolderTree(path_); }
  const std::wstring& Path() const { return path_; }
  std::wstring Sub(const std::wstring& relative) const { return path_ + L"\\" + relative; }

 private:
  std::wstring path_;
};

std::string ReadText(const std::wstring& path) {
  std::vector<uint8_t> bytes;
  if (!ReadFileBytes(path, &bytes)) return std::string("<unreadable>");
  return std::string(bytes.begin(), bytes.end());
}

void WriteText(const std::wstring& path, const std::string& text) {
  ::SHCreateDirectoryExW(nullptr, path.substr(0, path.rfind(L'\\')).c_str(), nullptr);
  ASSERT_TRUE(WriteFileBytes(path, std::vector<uint8_t>(text.begin(), text.end())));
}

std::wstring Profile(const std::wstring& file, const std::wstring& section,
                     const std::wstring& key) {
  wchar_t value[1024] = {};
  ::GetPrivateProfileStringW(section.c_str(), key.c_str(), L"<missing>", value, 1024, file.c_str());
  return value;
}

IniTable LoadResourceTable(int id) {
  IniTable table;
  EXPECT_TRUE(table.LoadFromResource(kFileResourceType, id));
  return table;
}

// --- component manifest ---------------------------------------------------

TEST(InstallFilesTest, ManifestCreatesUnicodeUpdateConfigWithEveryShippedSection) {
  Scratch install(L"Manifest Install Dir");
  WriteComponentManifest(install.Path());
  const std::wstring target = install.Sub(L"updatecfg.ini");
  const std::string bytes = ReadText(target);
  ASSERT_GE(bytes.size(), 2u);
  EXPECT_EQ("\xFF\xFE", bytes.substr(0, 2));

  EXPECT_EQ(L"2", Profile(target, L"iniopt", L"ver"));
  EXPECT_EQ(L"", Profile(target, L"iniopt", L"path"));
  const IniTable manifest = LoadResourceTable(kResManifest);
  ASSERT_GT(manifest.SectionNames().size(), 1u);
  for (const std::wstring& section : manifest.SectionNames()) {
    if (section == L"iniopt") continue;
    EXPECT_EQ(manifest.Value(section, L"ver"), Profile(target, section, L"ver"));
    const std::wstring path = Profile(target, section, L"path");
    EXPECT_EQ(0u, path.find(install.Path() + L"\\")) << path;  // folder keeps its case
    const std::wstring inside = path.substr(install.Path().size());
    EXPECT_EQ(ToLowerAscii(inside), inside);
    EXPECT_EQ(L"<missing>", Profile(target, section, L"md5"));
  }
}

TEST(InstallFilesTest, ManifestMergesIntoAnExistingAnsiFile) {
  Scratch install(L"ManifestMerge");
  const std::wstring target = install.Sub(L"updatecfg.ini");
  WriteText(target, "[FeedBack.ini]\r\nver=9.9.9.9\r\nmd5=0ld\r\n[Mine]\r\nkeep=yes\r\n");
  IniTable manifest;
  const std::vector<uint8_t> source = WideToUtf16Le(
      L"[iniopt]\r\nver=2\r\n[FeedBack.ini]\r\nver=1.0.0.1006\r\n"
      L"path=%productpath%\\Config\\FeedBack.ini\r\nmd5=\r\n",
      true);
  ASSERT_TRUE(manifest.Parse(source.data(), source.size()));
  ASSERT_TRUE(WriteComponentManifestFrom(manifest, install.Path()));

  EXPECT_EQ("\xFF\xFE", ReadText(target).substr(0, 2));
  EXPECT_EQ(L"1.0.0.1006", Profile(target, L"FeedBack.ini", L"ver"));
  EXPECT_EQ(install.Path() + L"\\config\\feedback.ini", Profile(target, L"FeedBack.ini", L"path"));
  EXPECT_EQ(L"0ld", Profile(target, L"FeedBack.ini", L"md5"));
  EXPECT_EQ(L"yes", Profile(target, L"Mine", L"keep"));
}

TEST(InstallFilesTest, ManifestIntoAMissingFolderFailsQuietly) {
  Scratch parent(L"ManifestMissing");
  IniTable manifest = LoadResourceTable(kResManifest);
  EXPECT_FALSE(WriteComponentManifestFrom(manifest, parent.Sub(L"absent")));
  EXPECT_FALSE(FileExists(parent.Sub(L"absent\\updatecfg.ini")));
}

TEST(InstallFilesTest, ManifestNeverWritesOverAnUnreadableUpdateConfig) {
  Scratch install(L"ManifestUnreadable");
  const std::wstring target = install.Sub(L"updatecfg.ini");
  // Too large for the reader: merging into "nothing" would keep only the
  // manifest's sections and drop the updater's own.
  WriteText(target, "[Updater]\r\nchannel=beta\r\n");
  {
    UniqueFileHandle file(
        CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(file.Valid());
    LARGE_INTEGER size;
    size.QuadPart = 65ll * 1024 * 1024;
    ASSERT_TRUE(SetFilePointerEx(file.Get(), size, nullptr, FILE_BEGIN));
    ASSERT_TRUE(SetEndOfFile(file.Get()));
  }
  IniTable manifest = LoadResourceTable(kResManifest);
  EXPECT_FALSE(WriteComponentManifestFrom(manifest, install.Path()));
  char head[9] = {};
  {
    UniqueFileHandle file(CreateFileW(target.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, 0, nullptr));
    DWORD read = 0;
    ASSERT_TRUE(file.Valid() && ReadFile(file.Get(), head, sizeof(head), &read, nullptr));
  }
  EXPECT_EQ("[Updater]", std::string(head, sizeof(head)));
  WIN32_FILE_ATTRIBUTE_DATA data = {};
  ASSERT_TRUE(GetFileAttributesExW(target.c_str(), GetFileExInfoStandard, &data));
  EXPECT_EQ(65ull * 1024 * 1024,
            (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
}

// LUM_SMALL_DISK (tests/wine/small-disk.sh): a small filesystem of this
// test's own, reached through drive Z:; empty when there is none.
std::wstring SmallDisk() {
  wchar_t value[1024] = {};
  const DWORD length = ::GetEnvironmentVariableW(L"LUM_SMALL_DISK", value, 1023);
  if (length == 0 || length >= 1023) return std::wstring();
  std::wstring path = L"Z:" + std::wstring(value, length);
  for (wchar_t& c : path)
    if (c == L'/') c = L'\\';
  return path;
}

TEST(InstallFilesTest, ManifestWriteOnAFullDiskKeepsTheUpdatersFileWhole) {
  const std::wstring disk = SmallDisk();
  if (disk.empty()) GTEST_SKIP() << "no small filesystem (run through tests/wine/small-disk.sh)";
  const std::wstring target = disk + L"\\updatecfg.ini";
  const std::string updater = "[Updater]\r\nchannel=beta\r\n[FeedBack.ini]\r\nver=9.9.9.9\r\n";
  WriteText(target, updater);
  const std::wstring filler = disk + L"\\filler.bin";
  {
    UniqueFileHandle file(
        CreateFileW(filler.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    ASSERT_TRUE(file.Valid());
    const std::vector<char> block(4096, 'x');
    DWORD written = 0;
    for (int i = 0; i < 100000 && ::WriteFile(file.Get(), block.data(), 4096, &written, nullptr) &&
                    written == 4096;
         ++i) {
    }
  }
  IniTable manifest = LoadResourceTable(kResManifest);
  EXPECT_FALSE(WriteComponentManifestFrom(manifest, disk));
  const std::string after = ReadText(target);
  EXPECT_TRUE(after == updater) << "updatecfg.ini now holds " << after.size() << " bytes";
  WIN32_FIND_DATAW data;
  UniqueFindHandle litter(FindFirstFileW((disk + L"\\*.tmp").c_str(), &data));
  EXPECT_FALSE(litter.Valid()) << "temporary left: " << WideToUtf8(data.cFileName);
  EXPECT_FALSE(FileExists(target + L".lumnew"));
  ::DeleteFileW(filler.c_str());
  ::DeleteFileW(target.c_str());
}

// --- settings backup ------------------------------------------------------

TEST(InstallFilesTest, ShippedScriptIgnoresTheInstalledMonitorSettings) {
  const RelativePathSet ignored = LoadReinstallIgnored();
  EXPECT_EQ(1u, ignored.count(L"safemon\\setting.ini"));
}

TEST(InstallFilesTest, BackedUpSettingIsRestoredOnlyWhereTheFreshInstallHasNone) {
  Scratch install(L"RestoreInstall");
  Scratch backup(L"RestoreBackup");
  const IniTable script = LoadResourceTable(kResActionScript);
  // The uninstaller's half: both settings files go to the backup.
  WriteText(install.Sub(L"GameBooster\\UDGame.dat"), "user games");
  WriteText(install.Sub(L"GameBooster\\ListSettings.dat"), "user list");
  ASSERT_EQ(2, BackUpSettings(script, install.Path(), backup.Path()));
  ASSERT_TRUE(DeleteFolderTree(install.Sub(L"GameBooster")));
  // The fresh install ships its own list, but no games file.
  WriteText(install.Sub(L"GameBooster\\ListSettings.dat"), "fresh list");

  // Wine keeps no file owner (every folder reads as the user's): the owner
  // test is the next test's; here the folder counts as the uninstaller's.
  RestoreBackedUpSettingsFrom(script, install.Path(), backup.Path(),
                              [](void*) { return true; });
  EXPECT_EQ("user games", ReadText(install.Sub(L"GameBooster\\UDGame.dat")));
  EXPECT_EQ("fresh list", ReadText(install.Sub(L"GameBooster\\ListSettings.dat")));
  EXPECT_FALSE(FolderExists(backup.Path()));

  // A setting that cannot be written back (its folder is a file now): the
  // backup stays, the user's only copy of it.
  ASSERT_TRUE(DeleteFolderTree(install.Sub(L"GameBooster")));
  WriteText(install.Sub(L"GameBooster\\UDGame.dat"), "user games");
  ASSERT_EQ(1, BackUpSettings(script, install.Path(), backup.Path()));
  ASSERT_TRUE(DeleteFolderTree(install.Sub(L"GameBooster")));
  WriteText(install.Sub(L"GameBooster"), "a file in the way");
  RestoreBackedUpSettingsFrom(script, install.Path(), backup.Path(),
                              [](void*) { return true; });
  EXPECT_EQ("user games", ReadText(backup.Sub(L"GameBooster\\UDGame.dat")));
  DeleteFileW(install.Sub(L"GameBooster").c_str());
}

TEST(InstallFilesTest, CommonBackupIsRestoredOnlyWhenAnAdministratorOwnsIt) {
  Scratch install(L"RestoreCommon");
  const std::wstring backup = SettingsBackupFolder();
  ASSERT_FALSE(backup.empty());
  EXPECT_NE(std::wstring::npos, backup.find(L"\\LumBNBackup"));
  WriteText(backup + L"\\GameBooster\\UDGame.dat", "planted games");
  // Made by a standard user: "Users" as owner (Wine reads every folder's
  // owner as the user, which is no administrator either).
  UniqueLocal users = [] {
    PSID sid = nullptr;
    ConvertStringSidToSidW(L"S-1-5-32-545", &sid);
    return UniqueLocal(sid);
  }();
  {
    UniqueFileHandle folder(CreateFileW(backup.c_str(), WRITE_OWNER, FILE_SHARE_READ, nullptr,
                                        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    ASSERT_TRUE(folder);
    SetSecurityInfo(folder.Get(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, users.Get(),
                    nullptr, nullptr, nullptr);
  }
  std::string lines;
  log::SetSink([&lines](const std::string& line) { lines += line + "\n"; });
  RestoreBackedUpSettings(install.Path());
  log::ClearSink();
  EXPECT_FALSE(FileExists(install.Sub(L"GameBooster\\UDGame.dat")));
  EXPECT_EQ("planted games", ReadText(backup + L"\\GameBooster\\UDGame.dat"));  // left alone
  EXPECT_NE(std::string::npos,
            lines.find("settings backup not made by SYSTEM or the Administrators: not restored, "
                       "left alone | " +
                       WideToUtf8(backup) + " | 5"))
      << lines;

  // Where the file system keeps owners: the Administrators' backup is
  // restored, folders are created, and the backup goes.
  if (GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") == nullptr) {
    PSID admins = nullptr;
    ConvertStringSidToSidW(L"S-1-5-32-544", &admins);
    UniqueLocal adminsOwned(admins);
    ASSERT_EQ(ERROR_SUCCESS, SetNamedSecurityInfoW(const_cast<wchar_t*>(backup.c_str()),
                                                   SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION,
                                                   admins, nullptr, nullptr, nullptr));
    RestoreBackedUpSettings(install.Path());
    EXPECT_EQ("planted games", ReadText(install.Sub(L"GameBooster\\UDGame.dat")));
    EXPECT_FALSE(FileExists(install.Sub(L"GameBooster\\ListSettings.dat")));
  }
  DeleteFolderTree(backup);
  EXPECT_FALSE(FolderExists(backup));
}

TEST(InstallFilesTest, BackupThatIsAPlainFileIsLeftAlone) {
  Scratch install(L"RestorePlain");
  Scratch parent(L"RestorePlainBackup");
  const std::wstring backup = parent.Sub(L"LumBNBackup");
  WriteText(backup, "not a folder");
  RestoreBackedUpSettingsFrom(LoadResourceTable(kResActionScript), install.Path(), backup);
  EXPECT_EQ("not a folder", ReadText(backup));
  EXPECT_FALSE(FolderExists(install.Sub(L"GameBooster")));
}

// A junction `link` -> `target`; false where the file system cannot store
// one (Wine 8 answers ERROR_NOT_SUPPORTED), and the caller skips: Wine cannot
// remove the host links it has instead, as this test expects.
bool MakeJunction(const std::wstring& link, const std::wstring& target) {
  return planted::MakeJunction(link, target);
}

TEST(InstallFilesTest, LinksAreNeverFollowedByRestoreOrByAnyTreeDelete) {
  Scratch install(L"LinkInstall");
  Scratch parent(L"LinkBackup");
  Scratch victim(L"LinkVictim");
  WriteText(victim.Sub(L"GameBooster\\UDGame.dat"), "someone else's file");
  const std::wstring backup = parent.Sub(L"LumBNBackup");
  if (!MakeJunction(backup, victim.Path()))
    GTEST_SKIP() << "junctions are not supported here (error " << GetLastError() << ")";

  // The backup folder is a link: nothing is moved out of it, the link goes.
  RestoreBackedUpSettingsFrom(LoadResourceTable(kResActionScript), install.Path(), backup);
  EXPECT_FALSE(FileExists(install.Sub(L"GameBooster\\UDGame.dat")));
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(backup.c_str()));
  EXPECT_EQ("someone else's file", ReadText(victim.Sub(L"GameBooster\\UDGame.dat")));

  // A link on the way below a real backup folder: that entry is not restored.
  ASSERT_TRUE(CreateDirectoryW(backup.c_str(), nullptr));
  ASSERT_TRUE(MakeJunction(backup + L"\\GameBooster", victim.Sub(L"GameBooster")));
  RestoreBackedUpSettingsFrom(LoadResourceTable(kResActionScript), install.Path(), backup);
  EXPECT_FALSE(FileExists(install.Sub(L"GameBooster\\UDGame.dat")));
  EXPECT_EQ("someone else's file", ReadText(victim.Sub(L"GameBooster\\UDGame.dat")));

  // Both recursive deletes remove a link inside as a link, and a top folder
  // that is a link only as a link.
  ASSERT_TRUE(CreateDirectoryW(install.Sub(L"tree").c_str(), nullptr));
  ASSERT_TRUE(MakeJunction(install.Sub(L"tree\\inner"), victim.Path()));
  EXPECT_TRUE(DeleteFolderTree(install.Sub(L"tree")));
  ASSERT_TRUE(MakeJunction(install.Sub(L"top"), victim.Path()));
  EXPECT_TRUE(DeleteFolderTree(install.Sub(L"top")));
  ASSERT_TRUE(CreateDirectoryW(install.Sub(L"tree").c_str(), nullptr));
  ASSERT_TRUE(MakeJunction(install.Sub(L"tree\\inner"), victim.Path()));
  CShell shell(install.Path(), install.Path());
  EXPECT_TRUE(shell.DeleteTree(install.Sub(L"tree"), false));
  ASSERT_TRUE(MakeJunction(install.Sub(L"top"), victim.Path()));
  EXPECT_TRUE(shell.DeleteTree(install.Sub(L"top"), false));
  EXPECT_EQ("someone else's file", ReadText(victim.Sub(L"GameBooster\\UDGame.dat")));
}

size_t Count(const std::wstring& text, const std::wstring& needle) {
  size_t count = 0;
  for (size_t at = text.find(needle); at != std::wstring::npos; at = text.find(needle, at + 1))
    ++count;
  return count;
}

// Every recursive walk refuses a start below a link, wherever on the way the
// link lies, and says so in the log; the link's target keeps its files and
// gains none.
TEST(InstallFilesTest, NoWalkStartsBelowALinkOnItsWay) {
  Scratch install(L"WayInstall");
  Scratch victim(L"WayVictim");
  WriteText(victim.Sub(L"inner\\tree\\keep.dat"), "someone else's file");
  WriteText(install.Sub(L"source\\new.dat"), "ours");
  const std::wstring link = install.Sub(L"via");
  ASSERT_TRUE(planted::PlantFolderLink(link, victim.Path())) << GetLastError();
  std::wstring lines;
  log::SetSink([&](const std::string& line) { lines += Utf8ToWide(line) + L"\n"; });

  // The link one, and two, steps above the top.
  for (const std::wstring& top : {link + L"\\inner", link + L"\\inner\\tree"}) {
    EXPECT_FALSE(DeleteFolderTree(top));
    EXPECT_EQ(0, ScheduleDeleteAtReboot(top));
    CShell shell(install.Path(), install.Path());
    EXPECT_FALSE(shell.DeleteTree(top, true));
    EXPECT_FALSE(shell.CopyTree(install.Sub(L"source"), top));
    EXPECT_FALSE(shell.CopyTree(top, install.Sub(L"copy")));
  }
  log::ClearSink();

  EXPECT_EQ("someone else's file", ReadText(victim.Sub(L"inner\\tree\\keep.dat")));
  EXPECT_FALSE(FileExists(victim.Sub(L"inner\\new.dat")));
  EXPECT_FALSE(FileExists(victim.Sub(L"inner\\tree\\new.dat")));
  EXPECT_FALSE(FolderExists(install.Sub(L"copy")));
  EXPECT_EQ(2u, Count(lines, L"delete folder tree refused: link on the way | " + link + L" |"))
      << WideToUtf8(lines);
  EXPECT_EQ(2u, Count(lines, L"delete tree refused: link on the way | " + link + L" |"));
  EXPECT_EQ(2u, Count(lines, L"copy tree to refused: link on the way | " + link + L" |"));
  EXPECT_EQ(2u, Count(lines, L"copy tree from refused: link on the way | " + link + L" |"));
  EXPECT_EQ(2u, Count(lines, L"restart refused: link on the way | " + link + L" |"));
  EXPECT_EQ(std::wstring::npos, lines.find(L"keep.dat")) << WideToUtf8(lines);
  planted::RemovePlantedLink(link);
}

// --- font rules -----------------------------------------------------------

const char kTheme[] =
    "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<theme>\r\n  <fonts>\r\n"
    "    <language_font_face><en face=\"Old\"/><xx face=\"Gone\"/></language_font_face>\r\n"
    "  </fonts>\r\n</theme>\r\n";

class FontRulesFileTest : public testing::Test {
 protected:
  void SetUp() override {
    themePath_ = product_.Sub(L"config\\newui\\themes\\default\\theme.xml");
    WriteText(themePath_, kTheme);
    table_ = LoadResourceTable(kResLanguageTable);
  }
  void TearDown() override { RegKey::DeleteTree(HKEY_LOCAL_MACHINE, kAppPaths, RegView::k32); }

  void RegisterProduct(const std::wstring& folder) {
    RegKey key;
    ASSERT_TRUE(key.Create(HKEY_LOCAL_MACHINE, kAppPaths, KEY_SET_VALUE, RegView::k32));
    ASSERT_TRUE(key.WriteString(L"Path", folder));
  }

  Scratch product_{L"Font Product"};
  std::wstring themePath_;
  IniTable table_;
};

TEST_F(FontRulesFileTest, BlockIsRewrittenAndTheRestKeptByteForByte) {
  ASSERT_TRUE(ApplyFontRulesTo(table_, FontSystemFacts{FontOsClass::kWin10, 0x0411}, themePath_));
  const std::string theme = ReadText(themePath_);
  const std::string head(kTheme, std::string(kTheme).find("<en face"));
  const std::string tail = std::string(kTheme).substr(std::string(kTheme).find("</language"));
  EXPECT_EQ(0u, theme.find(head));
  EXPECT_EQ(theme.size() - tail.size(), theme.rfind(tail));
  EXPECT_NE(std::string::npos, theme.find("<ja face=\"Yu Gothic UI\"/>"));
  EXPECT_NE(std::string::npos, theme.find("<en face=\"Microsoft JhengHei\"/><es face="));
  EXPECT_EQ(std::string::npos, theme.find("Gone"));
}

TEST_F(FontRulesFileTest, ProductFolderComesFromAppPaths) {
  EXPECT_FALSE(ApplyFontRules(table_));  // not registered yet
  RegisterProduct(product_.Path());      // no trailing backslash: one is added
  EXPECT_EQ(product_.Path() + L"\\", ThemeProductFolder());
  ASSERT_TRUE(ApplyFontRules(table_));
  const std::string theme = ReadText(themePath_);
  EXPECT_NE(std::string::npos, theme.find("<zh-TW face=\""));
  EXPECT_EQ(std::string::npos, theme.find("Gone"));
}

TEST_F(FontRulesFileTest, TooLongProductPathIsRefused) {
  RegisterProduct(std::wstring(259, L'a'));
  EXPECT_EQ(L"", ThemeProductFolder());
  RegisterProduct(L"C:\\" + std::wstring(256, L'a') + L"\\");
  EXPECT_EQ(L"", ThemeProductFolder());
  RegisterProduct(L"C:\\" + std::wstring(255, L'a') + L"\\");
  EXPECT_EQ(259u, ThemeProductFolder().size());
}

TEST_F(FontRulesFileTest, ThemeWithoutMarkersOrLanguagesIsNotTouched) {
  const std::string plain = "<theme><fonts></fonts></theme>";
  WriteText(themePath_, plain);
  EXPECT_FALSE(ApplyFontRulesTo(table_, FontSystemFacts{}, themePath_));
  EXPECT_EQ(plain, ReadText(themePath_));

  WriteText(themePath_, kTheme);
  EXPECT_FALSE(ApplyFontRulesTo(IniTable(), FontSystemFacts{}, themePath_));
  EXPECT_EQ(kTheme, ReadText(themePath_));
  EXPECT_FALSE(ApplyFontRulesTo(table_, FontSystemFacts{}, product_.Sub(L"missing.xml")));
}

}  // namespace
}  // namespace lum
