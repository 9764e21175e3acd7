#include "install/shortcut_pass_win.h"

#include <windows.h>
// These headers build on windows.h.
#include <shlobj.h>

#include <vector>

#include "base/install_log.h"
#include "i18n/language_choice.h"
#include "install/shell_win.h"
#include "install/shortcut_names.h"
#include "session/session_settings.h"
#include "system/app_registration_win.h"
#include "system/file_ops_win.h"
#include "system/handle_tree_win.h"
#include "system/product_location_win.h"
#include "system/registry_win.h"
#include "system/shell_link_win.h"
#include "system/uninstall_entry_win.h"
#include "system/windows_version_win.h"

namespace lum {

namespace {

constexpr const char* kLog = "shortcut";

// The user's own Desktop and Programs folders are his to point anywhere and
// to fill with links: the shortcut is reached by handle, without a link on
// its way, and deleted through its own handle (logged there).
bool DeleteShortcut(const std::wstring& path) {
  return DeleteFileNoLinks(kLog, L"delete shortcut", path) == 0;
}

// folder\name for a plain name, empty otherwise (nothing is then touched).
std::wstring Join(const std::wstring& folder, const std::wstring& name) {
  if (folder.empty() || !IsPlainShortcutName(name)) return std::wstring();
  return WithTrailingSlash(folder) + name;
}

bool GameBoosterWanted() {
  RegKey record;
  DWORD value = 0;
  return record.Open(HKEY_LOCAL_MACHINE, kShortcutRecordKey, KEY_QUERY_VALUE, RegView::k32) &&
         record.ReadDword(L"GameBooster", &value) && value != 0;
}

}  // namespace

bool RemoveLanguageShortcuts(const IniTable& table, const std::wstring& folder,
                             const std::wstring& key) {
  if (!FolderExists(folder)) return true;
  bool all = true;
  for (const std::wstring& language : LanguageList(table)) {
    const std::wstring path = Join(folder, table.Value(language, key));
    if (!path.empty() && !DeleteShortcut(path)) all = false;
  }
  return all;
}

bool RemoveLanguageMenuFolders(const IniTable& table, const std::wstring& installFolder,
                               const std::wstring& programsFolder) {
  if (!FolderExists(programsFolder)) return true;
  CShell shell(installFolder, std::wstring());
  bool all = true;
  for (const std::wstring& language : LanguageList(table)) {
    const std::wstring menu = table.Value(language, L"lnkpath");
    // An empty or climbing name would make the tree the programs folder itself.
    if (!IsMenuSubPath(menu)) continue;
    const std::wstring folder = WithTrailingSlash(programsFolder) + menu;
    if (FolderExists(folder) && !shell.DeleteTree(folder, false)) all = false;
  }
  return all;
}

long CreateShortcuts(const std::wstring& installDir) {
  const SessionSettings& session = Session();
  const IniTable& table = session.table;
  const std::wstring base = WithTrailingSlash(installDir);
  const std::wstring mainProgram = base + kMainProgram;
  const std::wstring sandbox = base + L"ipc\\Lumboxmain.exe";
  const std::wstring gameBooster = base + L"GameBooster.exe";
  const WindowsVersion version = GetWindowsVersion();
  const bool windows8OrLater = version.IsWindows8OrLater();
  const bool windows8Exactly = version.major == 6 && version.minor == 2;

  const std::wstring commonPrograms = SpecialFolder(CSIDL_COMMON_PROGRAMS);
  const std::wstring userPrograms = SpecialFolder(CSIDL_PROGRAMS);
  const std::wstring commonDesktop = SpecialFolder(CSIDL_COMMON_DESKTOPDIRECTORY);
  RemoveLanguageMenuFolders(table, installDir, commonPrograms);
  RemoveLanguageMenuFolders(table, installDir, userPrograms);

  const std::wstring menuPath = session.Text(L"lnkpath");
  std::vector<std::wstring> menus;
  if (IsMenuSubPath(menuPath)) {
    if (!commonPrograms.empty()) menus.push_back(WithTrailingSlash(commonPrograms) + menuPath);
    if (windows8OrLater && !userPrograms.empty())
      menus.push_back(WithTrailingSlash(userPrograms) + menuPath);
  } else {
    log::Action(kLog, L"start-menu folder name unusable", menuPath, ERROR_INVALID_NAME);
  }
  for (std::wstring& menu : menus) {
    // A link on the way (a user may put one into his own programs folder)
    // would have the folder made and the shortcuts written where it points:
    // the way is opened by handle and missing folders made relative to it.
    UniqueHandle folder;
    const WayResult way = OpenFolderNoLinks(menu, &folder, true);
    if (way.open == WayOpen::kLinkOnWay || way.open == WayOpen::kTopIsLink) {
      log::Action(kLog, L"create start-menu folder refused: link on the way", way.at,
                  ERROR_CANT_ACCESS_FILE);
      menu.clear();
      continue;
    }
    log::Action(kLog, L"create start-menu folder", menu,
                way.open == WayOpen::kOpened ? 0 : static_cast<long>(way.error ? way.error : 1));
  }
  const bool commonMenu = !menus.empty() && !commonPrograms.empty();

  const std::wstring lnk1 = session.Text(L"lnk1");
  if (commonMenu) {
    const std::wstring link = Join(menus[0], lnk1);
    if (windows8Exactly)
      DeleteShortcut(link);
    else if (!link.empty())
      CreateShortcut(mainProgram, link, L"", 0);
  }
  const std::wstring ownDesktop = Join(SpecialFolder(CSIDL_DESKTOPDIRECTORY), lnk1);
  if (!ownDesktop.empty()) DeleteShortcut(ownDesktop);
  for (const wchar_t* key : {L"lnk1", L"lnk5", L"lnk7"})
    RemoveLanguageShortcuts(table, commonDesktop, key);
  if (!Join(commonDesktop, lnk1).empty())
    CreateShortcut(mainProgram, Join(commonDesktop, lnk1), L"", 0);

  const bool withGameBooster = GameBoosterWanted();
  for (size_t i = 0; i < menus.size(); ++i) {
    // The common folder's main shortcut was settled by the Windows 8 rule.
    if (!(commonMenu && i == 0) && !Join(menus[i], lnk1).empty())
      CreateShortcut(mainProgram, Join(menus[i], lnk1), L"", 0);
    const std::wstring lnk3 = Join(menus[i], session.Text(L"lnk3"));
    if (!lnk3.empty()) CreateShortcut(sandbox, lnk3, L"", 0);
    const std::wstring lnk4 = Join(menus[i], session.Text(L"lnk4"));
    if (!lnk4.empty()) CreateShortcut(mainProgram, lnk4, L"/leakfix", 0);
    const std::wstring lnk5 = Join(menus[i], session.Text(L"lnk5"));
    if (withGameBooster && !lnk5.empty()) CreateShortcut(gameBooster, lnk5, L"", 0);
  }
  const std::wstring desktopBooster = Join(commonDesktop, session.Text(L"lnk5"));
  if (withGameBooster && !desktopBooster.empty())
    CreateShortcut(gameBooster, desktopBooster, L"", 0);
  for (const std::wstring& menu : menus) {
    const std::wstring lnk2 = Join(menu, session.Text(L"lnk2"));
    if (!lnk2.empty()) DeleteShortcut(lnk2);
  }

  UninstallEntryTexts texts;
  texts.installFolder = installDir;
  texts.displayName = session.Text(L"title");
  texts.publisher = session.Text(L"publisher");
  // The version now in the folder is the one this run placed.
  texts.version = InstalledProductVersion(installDir);
  return WriteUninstallEntry(texts);
}

}  // namespace lum
