// What a silent install leaves for the user and for Windows: the uninstall
// entry, App Paths, the Run entry, the context-menu module and the shortcuts
// (each read back through IShellLink), and how reinstalls in another
// language, on Windows 10, with and without the game booster and with the
// tray's autostart off change them.
//
// The tests build on each other's machine state and run in order.
#include <gtest/gtest.h>
#include <windows.h>
// These headers build on windows.h.
#include <objidl.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <string>
#include <vector>

#include "base/text.h"
#include "system/com_ref_win.h"
#include "system/file_ops_win.h"
#include "system/product_location_win.h"
#include "system/registry_win.h"
#include "browser/browser_config.h"
#include "system/shell_link_win.h"
#include "system/uninstall_entry_win.h"
#include "system/uninstall_marker.h"
#include "system/windows_restart_win.h"
#include "tests/e2e/e2e_support.h"
#include "tests/wine/planted_link.h"

namespace lum {
namespace {

using e2e::Count;
using e2e::InstallerPath;
using e2e::ReadText;
using e2e::RegString;
using e2e::RunProgram;
using e2e::TempFolder;

constexpr const wchar_t* kMenu = L"Lum Security Center\\Lum Bastion";
constexpr const wchar_t* kSandboxRu = L"\x041F\x0435\x0441\x043E\x0447\x043D\x0438\x0446\x0430.lnk";

struct Link {
  bool read = false;
  std::wstring target, arguments, folder;
};

Link ReadLink(const std::wstring& file) {
  Link link;
  ComRef<IShellLinkW> shell;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                              shell.PutVoid())))
    return link;
  ComRef<IPersistFile> persist;
  if (FAILED(shell->QueryInterface(IID_IPersistFile, persist.PutVoid())) ||
      FAILED(persist->Load(file.c_str(), STGM_READ)))
    return link;
  wchar_t text[MAX_PATH * 2] = {};
  shell->GetPath(text, MAX_PATH * 2, nullptr, SLGP_RAWPATH);
  link.target = text;
  text[0] = 0;
  shell->GetArguments(text, MAX_PATH * 2);
  link.arguments = text;
  text[0] = 0;
  shell->GetWorkingDirectory(text, MAX_PATH * 2);
  link.folder = text;
  link.read = true;
  return link;
}

std::wstring Folder(int csidl) {
  wchar_t path[MAX_PATH + 1] = {};
  SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
  return path;
}

DWORD RegDword(HKEY root, const std::wstring& key, const std::wstring& name,
               RegView view = RegView::kDefault) {
  return e2e::RegDword(root, key, name, 0xDEAD, view);
}

void SetDword(HKEY root, const std::wstring& key, const std::wstring& name, DWORD value) {
  RegKey reg;
  ASSERT_TRUE(reg.Create(root, key, KEY_SET_VALUE, RegView::k32));
  ASSERT_TRUE(reg.WriteDword(name, value));
}

class ShortcutsE2eTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    installDir_ = DefaultInstallDir();
    CoInitialize(nullptr);
  }
  void SetUp() override {
    installer_ = InstallerPath();
    if (installer_.empty()) GTEST_SKIP() << "LUM_INSTALLER is not set";
    log_ = TempFolder() + L"lum_shortcuts_e2e.log";
    DeleteFileW(log_.c_str());
  }
  std::wstring In(const std::wstring& relative) const { return installDir_ + L"\\" + relative; }
  std::wstring Log() const { return ReadText(log_); }
  int Install() { return RunProgram(installer_, L"/s /log:" + log_); }
  std::wstring CommonMenu() const { return Folder(CSIDL_COMMON_PROGRAMS) + L"\\" + kMenu; }
  std::wstring UserMenu() const { return Folder(CSIDL_PROGRAMS) + L"\\" + kMenu; }
  std::wstring CommonDesktop() const { return Folder(CSIDL_COMMON_DESKTOPDIRECTORY); }

  void ExpectLink(const std::wstring& file, const std::wstring& target,
                  const std::wstring& arguments) {
    const Link link = ReadLink(file);
    ASSERT_TRUE(link.read) << WideToUtf8(file);
    EXPECT_TRUE(EqualsNoCase(target, link.target)) << WideToUtf8(link.target);
    EXPECT_EQ(arguments, link.arguments) << WideToUtf8(file);
    const std::wstring folder = target.substr(0, target.find_last_of(L'\\'));
    EXPECT_TRUE(EqualsNoCase(folder, link.folder)) << WideToUtf8(link.folder);
  }
  // The menu set of the chosen language in `menu`; the sandbox shortcut's
  // name is the language's.
  void ExpectMenuSet(const std::wstring& menu, const std::wstring& sandboxName) {
    ExpectLink(menu + L"\\Lum Bastion.lnk", In(L"ZVSafeMain.exe"), L"");
    ExpectLink(menu + L"\\" + sandboxName, In(L"ipc\\Lumboxmain.exe"), L"");
    ExpectLink(menu + L"\\Patch Up.lnk", In(L"ZVSafeMain.exe"), L"/leakfix");
    EXPECT_FALSE(FileExists(menu + L"\\Uninstall.lnk"));
  }
  // regsvr32 registers the 64-bit module on its own time.
  std::wstring WaitForContextMenuServer() {
    const std::wstring key = L"CLSID\\{871D8DC2-84A4-4D1F-99D5-2A4E3BE2E87C}\\InprocServer32";
    for (int i = 0; i < 600; ++i) {
      const std::wstring server = RegString(HKEY_CLASSES_ROOT, key, L"", RegView::k64);
      if (server != L"<none>") return server;
      Sleep(100);
    }
    return L"<none>";
  }

  static std::wstring installDir_;
  std::wstring installer_, log_;
};
std::wstring ShortcutsE2eTest::installDir_;

constexpr const wchar_t* kUninstall =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\LumBastion";
constexpr const wchar_t* kAppPaths = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";

TEST_F(ShortcutsE2eTest, FirstInstallOnWindows7RegistersTheProductAndItsShortcuts) {
  // A game-booster shortcut of an earlier install, while the record asks for none.
  const std::wstring oldBooster = CommonDesktop() + L"\\Game Booster.lnk";
  ASSERT_TRUE(CreateShortcut(L"C:\\old\\GameBooster.exe", oldBooster, L"", 0));

  ASSERT_EQ(0, Install()) << Log();

  // The entry of the installed-programs list, in the 64-bit view only.
  EXPECT_EQ(L"Professional", RegString(HKEY_LOCAL_MACHINE, kUninstall, L"Edition", RegView::k64));
  EXPECT_EQ(In(L"ZVSafeMain.exe"),
            RegString(HKEY_LOCAL_MACHINE, kUninstall, L"DisplayIcon", RegView::k64));
  // Quoted, so that no "C:\Program.exe" can stand in for it.
  EXPECT_EQ(L"\"" + In(L"Uninstall.exe") + L"\"",
            RegString(HKEY_LOCAL_MACHINE, kUninstall, L"UninstallString", RegView::k64));
  EXPECT_EQ(L"Lum Bastion",
            RegString(HKEY_LOCAL_MACHINE, kUninstall, L"DisplayName", RegView::k64));
  EXPECT_EQ(installDir_,
            RegString(HKEY_LOCAL_MACHINE, kUninstall, L"InstallLocation", RegView::k64));
  EXPECT_EQ(L"Lum Security Center",
            RegString(HKEY_LOCAL_MACHINE, kUninstall, L"Publisher", RegView::k64));
  EXPECT_EQ(L"10.0.0.1",
            RegString(HKEY_LOCAL_MACHINE, kUninstall, L"DisplayVersion", RegView::k64));
  EXPECT_EQ(102400u, RegDword(HKEY_LOCAL_MACHINE, kUninstall, L"EstimatedSize", RegView::k64));
  EXPECT_FALSE(RegKey::Exists(HKEY_LOCAL_MACHINE, kUninstall, RegView::k32));

  EXPECT_EQ(In(L"ZVSafeMain.exe"),
            RegString(HKEY_LOCAL_MACHINE, kAppPaths + std::wstring(L"ZVSafeMain.exe"), L""));
  EXPECT_EQ(L"\"" + In(L"safemon\\ZVSafeTray.exe") + L"\" /start",
            RegString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run",
                      L"ZVSafeTray", RegView::k32));
  EXPECT_EQ(1u, RegDword(HKEY_LOCAL_MACHINE, L"software\\LumBastion\\UserProfile", L"MenuScan"));

  // The 64-bit context-menu module registered itself at its installed path.
  EXPECT_TRUE(EqualsNoCase(In(L"MenuEx64.dll"), WaitForContextMenuServer()));
  EXPECT_EQ(L"{871D8DC2-84A4-4D1F-99D5-2A4E3BE2E87C}",
            RegString(HKEY_CLASSES_ROOT, L"Directory\\shellex\\ContextMenuHandlers\\SDLum", L"",
                      RegView::k64));
  EXPECT_EQ(1u, Count(ReadText(In(L"MenuEx.calls")), L"DllRegisterServer"));

  ExpectMenuSet(CommonMenu(), L"Sandbox.lnk");
  ExpectLink(CommonDesktop() + L"\\Lum Bastion.lnk", In(L"ZVSafeMain.exe"), L"");
  // Windows 7: the user's own programs folder stays empty.
  EXPECT_FALSE(FolderExists(UserMenu()));
  // No game booster: none created, the old one removed.
  EXPECT_FALSE(FileExists(CommonMenu() + L"\\Game Booster.lnk"));
  EXPECT_FALSE(FileExists(oldBooster));
}

TEST_F(ShortcutsE2eTest, RussianReinstallOnWindows10ReplacesTheEnglishShortcuts) {
  ASSERT_TRUE(FileExists(CommonMenu() + L"\\Sandbox.lnk")) << "needs the first install";
  const std::wstring userSandbox = UserMenu();
  // The product's language is now Russian; the machine reports Windows 10;
  // the game booster is wanted; the user switched the tray's autostart off.
  ASSERT_TRUE(WritePrivateProfileStringW(L"UI", L"language", L"ru", In(L"config.ini").c_str()));
  {
    RegKey wine;
    ASSERT_TRUE(wine.Create(HKEY_CURRENT_USER, L"Software\\Wine", KEY_SET_VALUE));
    ASSERT_TRUE(wine.WriteString(L"Version", L"win10"));
  }
  SetDword(HKEY_LOCAL_MACHINE, L"SOFTWARE\\LumBastion\\Shortcut", L"GameBooster", 1);
  SetDword(HKEY_LOCAL_MACHINE, L"software\\LumBastion\\ActiveProtection", L"TrayAutoRun", 0);
  {
    RegKey run;
    ASSERT_TRUE(run.Open(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run",
                         KEY_SET_VALUE, RegView::k32));
    ASSERT_TRUE(run.DeleteValue(L"ZVSafeTray"));
  }

  ASSERT_EQ(0, Install()) << Log();
  EXPECT_NE(std::wstring::npos, Log().find(L"language ru")) << Log();
  EXPECT_EQ(std::wstring::npos, Log().find(L"restart atom present")) << Log();

  EXPECT_FALSE(FileExists(CommonMenu() + L"\\Sandbox.lnk"));
  for (const std::wstring& menu : {CommonMenu(), UserMenu()}) {
    ExpectMenuSet(menu, kSandboxRu);
    ExpectLink(menu + L"\\Game Booster.lnk", In(L"GameBooster.exe"), L"");
  }
  ExpectLink(CommonDesktop() + L"\\Lum Bastion.lnk", In(L"ZVSafeMain.exe"), L"");
  ExpectLink(CommonDesktop() + L"\\Game Booster.lnk", In(L"GameBooster.exe"), L"");

  EXPECT_EQ(L"<none>",
            RegString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run",
                      L"ZVSafeTray", RegView::k32));
  // The module is registered at this path already: not registered again.
  EXPECT_NE(std::wstring::npos, Log().find(L"context-menu module already registered")) << Log();
  EXPECT_EQ(1u, Count(ReadText(In(L"MenuEx.calls")), L"DllRegisterServer"));
}

TEST_F(ShortcutsE2eTest, GameBoosterSwitchedOffRemovesItsShortcutsEverywhere) {
  ASSERT_TRUE(FileExists(CommonDesktop() + L"\\Game Booster.lnk")) << "needs the reinstall";
  SetDword(HKEY_LOCAL_MACHINE, L"SOFTWARE\\LumBastion\\Shortcut", L"GameBooster", 0);
  // The product's driver asks for a restart through its global atom.
  const ATOM atom = GlobalAddAtomW(kRestartAtom);
  ASSERT_NE(0, atom);
  ASSERT_EQ(0, Install()) << Log();
  GlobalDeleteAtom(atom);
  EXPECT_NE(std::wstring::npos, Log().find(L"restart atom present after the driver pass")) << Log();
  for (const std::wstring& folder : {CommonMenu(), UserMenu(), CommonDesktop()})
    EXPECT_FALSE(FileExists(folder + L"\\Game Booster.lnk")) << WideToUtf8(folder);
  ExpectMenuSet(CommonMenu(), kSandboxRu);
}

TEST_F(ShortcutsE2eTest, OnWindows8TheMainShortcutLeavesTheCommonMenu) {
  ASSERT_TRUE(FileExists(CommonMenu() + L"\\Lum Bastion.lnk")) << "needs the earlier installs";
  {
    RegKey wine;
    ASSERT_TRUE(wine.Create(HKEY_CURRENT_USER, L"Software\\Wine", KEY_SET_VALUE));
    ASSERT_TRUE(wine.WriteString(L"Version", L"win8"));
  }
  ASSERT_EQ(0, Install()) << Log();
  EXPECT_FALSE(FileExists(CommonMenu() + L"\\Lum Bastion.lnk"));
  ExpectLink(CommonMenu() + L"\\Patch Up.lnk", In(L"ZVSafeMain.exe"), L"/leakfix");
  ExpectMenuSet(UserMenu(), kSandboxRu);
}

TEST_F(ShortcutsE2eTest, UninstallEntryWithoutVersionDesktopListingAndRestartEntry) {
  {
    RegKey entry;
    ASSERT_TRUE(entry.Open(HKEY_LOCAL_MACHINE, kUninstall, KEY_SET_VALUE, RegView::k64));
    entry.DeleteValue(L"DisplayVersion");
  }
  UninstallEntryTexts texts;
  texts.installFolder = installDir_;
  texts.displayName = L"Lum Bastion";
  texts.publisher = L"Lum Security Center";
  ASSERT_EQ(0, WriteUninstallEntry(texts));
  EXPECT_EQ(L"<none>", RegString(HKEY_LOCAL_MACHINE, kUninstall, L"DisplayVersion", RegView::k64));
  EXPECT_EQ(L"Lum Bastion",
            RegString(HKEY_LOCAL_MACHINE, kUninstall, L"DisplayName", RegView::k64));

  const std::wstring desktop = Folder(CSIDL_DESKTOPDIRECTORY);
  CreateDirectoryW(desktop.c_str(), nullptr);
  ASSERT_TRUE(CreateShortcut(In(L"ZVSafeMain.exe"), desktop + L"\\Mine.lnk", L"", 0));
  EXPECT_TRUE(DesktopHasOnlyShortcuts());
  const std::wstring note = desktop + L"\\notes.txt";
  HANDLE file = CreateFileW(note.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, file);
  CloseHandle(file);
  EXPECT_FALSE(DesktopHasOnlyShortcuts());

  ASSERT_TRUE(WriteRestartRerunEntry(L"C:\\Temp\\LumBastionSetup.exe"));
  EXPECT_EQ(L"\"C:\\Temp\\LumBastionSetup.exe\" /post",
            RegString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce",
                      L"Lumts"));
}

// The user's own programs folder is his to change: a link he puts at the
// start-menu folder's first step leads the elevated reinstall neither to
// delete nor to create anything where it points.
TEST_F(ShortcutsE2eTest, ALinkInTheUsersProgramsFolderLeadsNowhere) {
  ASSERT_TRUE(FileExists(UserMenu() + L"\\Patch Up.lnk")) << "needs the earlier installs";
  {
    RegKey wine;
    ASSERT_TRUE(wine.Create(HKEY_CURRENT_USER, L"Software\\Wine", KEY_SET_VALUE));
    ASSERT_TRUE(wine.WriteString(L"Version", L"win10"));
  }
  const std::wstring first = Folder(CSIDL_PROGRAMS) + L"\\Lum Security Center";
  ASSERT_TRUE(DeleteFolderTree(first));
  const std::wstring victim = L"C:\\LumShortcutVictim";
  const std::wstring victimMenu = victim + L"\\Lum Bastion";
  ASSERT_TRUE(CreateDirectoryW(victim.c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryW(victimMenu.c_str(), nullptr));
  ASSERT_TRUE(CreateShortcut(L"C:\\Mine\\Tool.exe", victimMenu + L"\\Tool.lnk", L"", 0));
  const std::string tool = e2e::ReadBytes(victimMenu + L"\\Tool.lnk");
  ASSERT_FALSE(tool.empty());
  ASSERT_TRUE(planted::PlantFolderLink(first, victim)) << GetLastError();

  ASSERT_EQ(0, Install()) << Log();
  planted::RemovePlantedLink(first);

  EXPECT_EQ(tool, e2e::ReadBytes(victimMenu + L"\\Tool.lnk"));
  WIN32_FIND_DATAW data;
  UniqueFindHandle find(FindFirstFileW((victimMenu + L"\\*").c_str(), &data));
  ASSERT_TRUE(find.Valid());
  size_t entries = 0;
  do ++entries;
  while (FindNextFileW(find.Get(), &data));
  EXPECT_EQ(3u, entries);  // ".", ".." and the user's own shortcut
  const std::wstring log = Log();
  // Refused once for each language's folder name (they are all the same).
  EXPECT_NE(std::wstring::npos,
            log.find(L"delete tree refused: link on the way | " + first + L" |"))
      << WideToUtf8(log);
  EXPECT_EQ(1u,
            Count(log, L"create start-menu folder refused: link on the way | " + first + L" |"));
  // The rest of the pass went on.
  ExpectMenuSet(CommonMenu(), kSandboxRu);
}

// Every entry below `folder` as "relative path = bytes" lines, links not
// followed (what a planted link points to is the user's business).
std::wstring TreeText(const std::wstring& folder, const std::wstring& relative = L"") {
  std::wstring text;
  WIN32_FIND_DATAW data;
  UniqueFindHandle find(FindFirstFileW((folder + L"\\*").c_str(), &data));
  if (!find) return text;
  do {
    const std::wstring name = data.cFileName;
    if (name == L"." || name == L"..") continue;
    const std::wstring path = folder + L"\\" + name, shown = relative + name;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
      text += shown + L" = <link>\n";
    else if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
      text += shown + L"\\\n" + TreeText(path, shown + L"\\");
    else
      text += shown + L" = " + Utf8ToWide(e2e::ReadBytes(path)) + L"\n";
  } while (FindNextFileW(find.Get(), &data));
  return text;
}

void SetUserFolder(const wchar_t* name, const std::wstring& path) {
  for (const wchar_t* key : {L"User Shell Folders", L"Shell Folders"}) {
    RegKey reg;
    ASSERT_TRUE(
        reg.Create(HKEY_CURRENT_USER,
                   std::wstring(L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\") + key,
                   KEY_SET_VALUE));
    ASSERT_TRUE(reg.WriteString(name, path));
  }
}

// A standard user points what is his to point (TEMP, his Desktop and
// Programs folders in his hive, a profile in profiles.ini) at a folder that
// leads elsewhere, and holds a file of his old Firefox extension open: the
// elevated reinstall deletes and creates nothing outside his own tree, and
// names nothing of his tree in a restart-time operation.
TEST_F(ShortcutsE2eTest, TheUsersOwnFoldersLeadNowhere) {
  ASSERT_TRUE(FileExists(CommonMenu() + L"\\Patch Up.lnk")) << "needs the earlier installs";
  wchar_t profileBuffer[MAX_PATH + 1] = {};
  ASSERT_GT(GetEnvironmentVariableW(L"USERPROFILE", profileBuffer, MAX_PATH), 0u);
  const std::wstring profile = profileBuffer;
  wchar_t appData[MAX_PATH + 1] = {};
  ASSERT_GT(ExpandEnvironmentStringsW(L"%APPDATA%", appData, MAX_PATH), 0u);
  const std::wstring firefox = std::wstring(appData) + L"\\Mozilla\\Firefox";
  const std::wstring oldDesktop = Folder(CSIDL_DESKTOPDIRECTORY);
  const std::wstring oldPrograms = Folder(CSIDL_PROGRAMS);

  // What lies where his folders lead: files of the names the installer
  // deletes or writes there, and an old extension of an absolute profile.
  const std::wstring victim = L"C:\\LumUserFoldersVictim";
  const std::wstring marker = UninstallMarkerName(installDir_);
  for (const std::wstring& name :
       {std::wstring(L"Lum Safe.lnk"), std::wstring(L"Lum Security Center\\Lum Bastion\\Tool.lnk"),
        std::wstring(L"Lum Security Center\\Lum Bastion\\Lum Bastion.lnk"),
        std::wstring(L"elsewhere.default\\extensions\\") + kOldFirefoxExtensionId +
            L"\\bootstrap.js"}) {
    const std::wstring path = victim + L"\\" + name;
    SHCreateDirectoryExW(nullptr, path.substr(0, path.rfind(L'\\')).c_str(), nullptr);
    ASSERT_TRUE(e2e::WriteBytes(path, "someone else's " + WideToUtf8(name)));
  }
  const std::wstring before = TreeText(victim);
  ASSERT_NE(std::wstring::npos, before.find(L"Tool.lnk")) << WideToUtf8(before);
  const std::wstring redirect = profile + L"\\Redirect";
  ASSERT_TRUE(planted::PlantFolderLink(redirect, victim)) << GetLastError();
  // TEMP leads to a folder of its own that holds the files of a pending
  // removal by the names the run deletes from TEMP (the run also makes its
  // work folder under TEMP, so only these files are compared there).
  const std::wstring victimTemp = L"C:\\LumUserTempVictim";
  ASSERT_TRUE(CreateDirectoryW(victimTemp.c_str(), nullptr));
  const std::vector<std::wstring> removal = {L"removeLum.bat", marker + L".bat", marker + L".lst",
                                             marker + L".vbs"};
  for (const std::wstring& name : removal)
    ASSERT_TRUE(e2e::WriteBytes(victimTemp + L"\\" + name, "someone else's script"));
  const std::wstring redirectTemp = profile + L"\\RedirectTemp";
  ASSERT_TRUE(planted::PlantFolderLink(redirectTemp, victimTemp)) << GetLastError();
  SetUserFolder(L"Desktop", redirect);
  SetUserFolder(L"Programs", redirect);
  ASSERT_EQ(redirect, Folder(CSIDL_DESKTOPDIRECTORY));
  ASSERT_EQ(redirect, Folder(CSIDL_PROGRAMS));
  // profiles.ini: an absolute profile that leads out of his tree first, then
  // his own profile with the old extension, one file of it held open.
  const std::wstring own = firefox + L"\\Profiles\\own.default";
  const std::wstring extension = own + L"\\extensions\\" + kOldFirefoxExtensionId;
  ASSERT_EQ(ERROR_SUCCESS, SHCreateDirectoryExW(nullptr, extension.c_str(), nullptr));
  ASSERT_TRUE(e2e::WriteBytes(extension + L"\\bootstrap.js", "old"));
  ASSERT_TRUE(e2e::WriteBytes(extension + L"\\held.js", "in use"));
  ASSERT_TRUE(
      e2e::WriteBytes(firefox + L"\\profiles.ini",
                      "[Profile0]\r\nName=elsewhere\r\nIsRelative=0\r\nPath=" + WideToUtf8(victim) +
                          "\\elsewhere.default\r\n\r\n[Profile1]\r\nName=own\r\n"
                          "IsRelative=1\r\nPath=Profiles/own.default\r\n"));
  UniqueFileHandle held(CreateFileW((extension + L"\\held.js").c_str(), GENERIC_READ,
                                    FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(held.Valid());
  // TEMP and TMP of the installer's run lead there too.
  SetEnvironmentVariableW(L"TEMP", redirectTemp.c_str());
  SetEnvironmentVariableW(L"TMP", redirectTemp.c_str());

  const int code = Install();
  SetEnvironmentVariableW(L"TEMP", nullptr);
  SetEnvironmentVariableW(L"TMP", nullptr);
  held.Reset();
  SetUserFolder(L"Desktop", oldDesktop);
  SetUserFolder(L"Programs", oldPrograms);
  planted::RemovePlantedLink(redirect);
  planted::RemovePlantedLink(redirectTemp);
  EXPECT_EQ(0, code) << WideToUtf8(Log());

  EXPECT_EQ(before, TreeText(victim)) << WideToUtf8(Log());
  for (const std::wstring& name : removal)
    EXPECT_EQ("someone else's script", e2e::ReadBytes(victimTemp + L"\\" + name))
        << WideToUtf8(name);
  const std::wstring log = Log();
  EXPECT_NE(std::wstring::npos,
            log.find(L"delete removal file refused: link on the way | " + redirectTemp + L" |"))
      << WideToUtf8(log);
  for (const std::wstring& refused :
       {std::wstring(L"delete refused: link on the way | "),
        std::wstring(L"delete shortcut refused: link on the way | "),
        std::wstring(L"delete tree refused: link on the way | "),
        std::wstring(L"create start-menu folder refused: link on the way | ")})
    EXPECT_NE(std::wstring::npos, log.find(refused + redirect + L" |")) << WideToUtf8(refused);
  // His own extension went, but for the file in use: left and logged.
  EXPECT_FALSE(FileExists(extension + L"\\bootstrap.js"));
  EXPECT_TRUE(FileExists(extension + L"\\held.js"));
  EXPECT_NE(std::wstring::npos, log.find(L"left behind | " + extension + L"\\held.js"))
      << WideToUtf8(log);
  EXPECT_EQ(L"", e2e::PendingRenamesIn(profile));
  EXPECT_EQ(L"", e2e::PendingRenamesIn(victim));
  EXPECT_EQ(L"", e2e::PendingRenamesIn(victimTemp));
  // The machine's own folders got their shortcuts all the same.
  ExpectMenuSet(CommonMenu(), kSandboxRu);
}

}  // namespace
}  // namespace lum
