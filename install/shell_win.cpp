#include "install/shell_win.h"

#include <shlobj.h>

#include <map>

#include "base/install_log.h"
#include "base/prescribed_wait.h"
#include "base/text.h"
#include "install/process_termination_win.h"
#include "install/trusted_launch_win.h"
#include "system/file_ops_win.h"
#include "system/firewall_win.h"
#include "system/folder_tree_win.h"
#include "system/handle_tree_win.h"
#include "system/link_rule.h"
#include "system/multi_user_registry_win.h"
#include "system/process_start_win.h"
#include "system/reboot_flags.h"
#include "system/reboot_ops_win.h"
#include "system/registry_access_win.h"
#include "system/registry_win.h"
#include "system/service_control_win.h"
#include "system/walk_guard_win.h"
#include "system/windows_version_win.h"
#include "tray/tray_requests_win.h"

namespace lum {
namespace {

constexpr const char* kLog = "script";
constexpr size_t kMaxPath = MAX_PATH;  // 260
constexpr const wchar_t* kActiveDefenseService = L"ZVActiveDefense";

long LastErrorCode() { return static_cast<long>(GetLastError()); }

std::wstring TempFolder() {
  wchar_t temp[MAX_PATH + 1] = {};
  const DWORD length = GetTempPathW(MAX_PATH, temp);
  return length && length <= MAX_PATH ? std::wstring(temp, length) : std::wstring();
}

bool Exists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::wstring ShellFolder(int id) {
  wchar_t path[MAX_PATH + 1] = {};
  if (FAILED(SHGetFolderPathW(nullptr, id, nullptr, SHGFP_TYPE_CURRENT, path))) return L"";
  return path;
}

// The script names folders as a 32-bit process sees them; a 64-bit build asks
// for the same ones ("Program Files (x86)", the 32-bit system folder).
int ThirtyTwoBitView(int folderId) {
#ifdef _WIN64
  switch (folderId) {
    case CSIDL_SYSTEM: return CSIDL_SYSTEMX86;
    case CSIDL_PROGRAM_FILES: return CSIDL_PROGRAM_FILESX86;
    case CSIDL_PROGRAM_FILES_COMMON: return CSIDL_PROGRAM_FILES_COMMONX86;
  }
#endif
  return folderId;
}

// The machine-wide folders of the script's tokens, read once per process; a
// shell folder that cannot be read is left out.
const std::map<std::wstring, std::wstring>& MachineFolders() {
  static const std::map<std::wstring, std::wstring> folders = [] {
    std::map<std::wstring, std::wstring> map;
    static const wchar_t* const kTokens[] = {
        L"desktop",          L"programs",         L"personal",
        L"appdata",          L"favorites",        L"startup",
        L"recent",           L"sendto",           L"startmenu",
        L"desktopdirectory", L"fonts",            L"cookies",
        L"history",          L"windows",          L"mypictures",
        L"common_startmenu", L"common_programs",  L"common_startup",
        L"common_desktopdirectory",               L"common_documents",
        L"common_appdata",   L"system",           L"system(x86)",
        L"system(x64)",      L"programfiles",     L"programfiles(x86)",
        L"commonfiles",      L"commonfiles(x86)",
    };
    for (const wchar_t* token : kTokens) {
      const std::wstring path = ShellFolder(ThirtyTwoBitView(MachineFolderId(token)));
      if (!path.empty()) map[token] = path;
    }
    const std::wstring windows = ShellFolder(CSIDL_WINDOWS);
    if (windows.size() >= 2 && windows[1] == L':') map[L"systemroot"] = windows.substr(0, 2) + L"\\";
    if (IsNativeX64OrIa64()) {
      // The native Program Files folder: the 32-bit one without " (x86)".
      std::wstring programFiles = ShellFolder(CSIDL_PROGRAM_FILES);
      const std::wstring suffix = L" (x86)";
      if (EndsWithNoCase(programFiles, suffix)) {
        programFiles.resize(programFiles.size() - suffix.size());
      }
      if (!programFiles.empty()) {
        map[L"programfiles(x64)"] = programFiles;
        map[L"commonfiles(x64)"] = programFiles + L"\\Common Files";
      }
    }
    return map;
  }();
  return folders;
}

template <typename Visit>
void ForEachEntry(const std::wstring& folder, Visit visit) {
  WIN32_FIND_DATAW data = {};
  UniqueFindHandle find(FindFirstFileW((folder + L"\\*").c_str(), &data));
  if (!find) return;
  do {
    const std::wstring name = data.cFileName;
    if (name == L"." || name == L"..") continue;
    visit(name, data.dwFileAttributes);
  } while (FindNextFileW(find.Get(), &data));
}

}  // namespace

CShell::CShell(const std::wstring& installationFolder, const std::wstring& extractionFolder)
    : installationFolder_(installationFolder.substr(0, kMaxPath)),
      extractionFolder_(extractionFolder.substr(0, kMaxPath)) {}

bool CShell::RunScript(const wchar_t* type, int id) {
  IniTable script;
  if (!script.LoadFromResource(type, id)) {
    log::Action(kLog, L"action script not loaded", std::to_wstring(id), 1);
    // The deferred-removal clean-up belongs to every run, script or not.
    ClearDeferredRemoval();
    return false;
  }
  RunScriptTable(script);
  return true;
}

bool CShell::RunRegistrySection(const wchar_t* type, int id, const std::wstring& section) {
  IniTable script;
  if (!script.LoadFromResource(type, id)) return false;
  return RunRegistrySectionTable(script, section);
}

bool CShell::ApplyFirewallSection(const wchar_t* type, int id) {
  IniTable script;
  if (!script.LoadFromResource(type, id)) return false;
  ApplyFirewallTable(script);
  return true;
}

bool CShell::SectionExists(const wchar_t* type, int id, const std::wstring& section) {
  return IniTable::HasSection(type, id, section);
}

void CShell::RunScriptTable(const IniTable& script) {
  log::Note(kLog, L"action script run for " + installationFolder_);
  RunActionScript(script, *this);
}

bool CShell::RunRegistrySectionTable(const IniTable& script, const std::wstring& section) {
  const bool found = RunRegistrySectionOf(script, section, *this);
  log::Action(kLog, L"registry section", section, found ? 0 : 1);
  return found;
}

bool CShell::ApplyFirewallTable(const IniTable& script) {
  const bool found = RunFirewallSectionOf(script, *this);
  log::Action(kLog, L"firewall section", kFirewallSection, found ? 0 : 1);
  return found;
}

std::vector<std::wstring> CShell::DeferredRemovalFiles() const {
  const std::wstring temp = TempFolder();
  if (temp.empty() || installationFolder_.empty()) return {};
  const std::wstring marker = UninstallMarkerName(installationFolder_);
  return {temp + marker + L".bat", temp + marker + L".lst", temp + marker + L".vbs",
          temp + L"removeLum.bat"};
}

void CShell::ClearDeferredRemoval() {
  if (!installationFolder_.empty()) {
    const bool removed = RemoveUninstallMarker(installationFolder_);
    log::Action(kLog, removed ? L"pending removal marker deleted" : L"no pending removal marker",
                UninstallMarkerName(installationFolder_), 0);
  }
  // %TEMP% is the user's to point anywhere and to fill with links: each file
  // goes by handle, reached without a link, a link as a link.
  for (const std::wstring& file : DeferredRemovalFiles())
    DeleteFileNoLinks(kLog, L"delete removal file", file);
  leftovers_.clear();
  hasLeftovers_ = false;
}

void CShell::CloseProductPrograms() { lum::CloseProductPrograms(); }

void CShell::EndProcessesUnderInstallFolder(unsigned waitMs) {
  const int result = EndProcessesUnder(installationFolder_, waitMs);
  log::Action(kLog, L"end programs under install folder", installationFolder_, result);
}

bool CShell::EndAllProcesses(const std::wstring& program) { return lum::EndAllProcesses(program); }

void CShell::Sleep(unsigned milliseconds) {
  PrescribedSleep(kLog, L"action script: after ending a program", milliseconds);
}

bool CShell::RunHiddenAndWait(const std::wstring& program, const std::wstring& commandLine) {
  // The program lies in the install folder and runs with the installer's
  // rights: only the product's trusted code does.
  if (!IsTrustedImage(program)) {
    log::Action(kLog, L"uninstall program not started: untrusted image", commandLine,
                ERROR_ACCESS_DENIED);
    return false;
  }
  PROCESS_INFORMATION info = {};
  if (!StartProcess(program, commandLine, L"", SW_HIDE, 0, &info)) {
    log::Action(kLog, L"uninstall program not started", commandLine, LastErrorCode());
    return false;
  }
  UniqueHandle process(info.hProcess), thread(info.hThread);
  WaitForSingleObject(process.Get(), INFINITE);
  DWORD exitCode = 0;
  GetExitCodeProcess(process.Get(), &exitCode);
  log::Action(kLog, L"uninstall program ran", commandLine, static_cast<long>(exitCode));
  return true;
}

void CShell::RemoveService(const std::wstring& name, const std::wstring& program) {
  const bool activeDefense = EqualsNoCase(name, kActiveDefenseService);
  DWORD id = 0;
  if (activeDefense) {
    StopService();
    for (int check = 0; check < 11 && FindProcess(program, &id); ++check) ::Sleep(1000);
  }
  if (FindProcess(program, &id)) {
    lum::EndAllProcesses(program);
    // A protected process may refuse to end; do not wait for it forever.
    for (int check = 0; check < 10 && FindProcess(program, &id); ++check) ::Sleep(1000);
  }
  const bool stillRunning = FindProcess(program, &id);
  if (stillRunning || GetWindowsVersion().AtLeast(6, 1)) {
    MarkServiceForRemoval(name);
  } else {
    StopAndDeleteService(name, !activeDefense);
  }
}

bool CShell::DeleteKey(const std::wstring& root, const std::wstring& path) {
  const HKEY key = RootKeyFromName(root);
  if (!key || path.empty()) {
    log::Action(kLog, L"deletekey refused", root + L"\\" + path, ERROR_INVALID_PARAMETER);
    return false;
  }
  const bool ok = RegKey::DeleteTree(key, path, RegView::k32);
  log::Action(kLog, L"deletekey", root + L"\\" + path, ok ? 0 : 1);
  return ok;
}

bool CShell::DeleteEmptyKey(const std::wstring& root, const std::wstring& path) {
  const HKEY rootKey = RootKeyFromName(root);
  if (!rootKey || path.empty()) {
    log::Action(kLog, L"deleteemptykey refused", root + L"\\" + path, ERROR_INVALID_PARAMETER);
    return false;
  }
  RegKey key;
  if (key.Open(rootKey, path, KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS, RegView::k32)) {
    DWORD subkeys = 0;
    if (RegQueryInfoKeyW(key.Get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr,
                         nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS ||
        subkeys != 0) {
      log::Action(kLog, L"deleteemptykey: key has subkeys, kept", root + L"\\" + path, 0);
      return false;
    }
  }
  const LONG result = RegDeleteKeyExW(rootKey, path.c_str(), KEY_WOW64_32KEY, 0);
  log::Action(kLog, L"deleteemptykey", root + L"\\" + path, result);
  return result == ERROR_SUCCESS;
}

bool CShell::DeleteValue(const std::wstring& root, const std::wstring& path,
                         const std::wstring& name) {
  const HKEY rootKey = RootKeyFromName(root);
  RegKey key;
  const bool ok = rootKey && key.Open(rootKey, path, KEY_SET_VALUE, RegView::k32) &&
                  key.DeleteValue(name);
  log::Action(kLog, L"deleteval " + name, root + L"\\" + path, ok ? 0 : 1);
  return ok;
}

bool CShell::WriteDword(const std::wstring& root, const std::wstring& path,
                        const std::wstring& name, uint32_t value) {
  const HKEY rootKey = RootKeyFromName(root);
  RegKey key;
  const bool ok = rootKey && key.Create(rootKey, path, KEY_SET_VALUE, RegView::k32) &&
                  key.WriteDword(name, value);
  log::Action(kLog, L"writevalue " + name + L" = " + std::to_wstring(value), root + L"\\" + path,
              ok ? 0 : 1);
  return ok;
}

bool CShell::WriteString(const std::wstring& root, const std::wstring& path,
                         const std::wstring& name, const std::wstring& data) {
  const HKEY rootKey = RootKeyFromName(root);
  RegKey key;
  const bool ok = rootKey && key.Create(rootKey, path, KEY_SET_VALUE, RegView::k32) &&
                  key.WriteString(name, data);
  log::Action(kLog, L"writevalue " + name + L" = \"" + data + L"\"", root + L"\\" + path,
              ok ? 0 : 1);
  return ok;
}

std::vector<IScriptBackend::MappedKey> CShell::MapCurrentUserKey(const std::wstring& path) {
  std::vector<MappedKey> mapped;
  for (const UserKey& user : MapKeyForEveryUser(HKEY_CURRENT_USER, path)) {
    mapped.push_back({NameFromRootKey(user.root), user.path});
  }
  return mapped;
}

std::vector<std::wstring> CShell::FoldersForEveryUser(int folderId) {
  std::vector<std::wstring> folders;
  lum::FoldersForEveryUser(folderId, &folders);
  return folders;
}

std::wstring CShell::MachineFolder(const std::wstring& token) {
  const auto& folders = MachineFolders();
  auto it = folders.find(ToLowerAscii(token));
  return it == folders.end() ? std::wstring() : it->second;
}

bool CShell::ScheduleDelete(const std::wstring& path) {
  const BOOL ok = MoveFileExW(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
  log::Action(kLog, L"delete at restart", path, ok ? 0 : LastErrorCode());
  return ok != FALSE;
}

void CShell::RememberLeftover(const std::wstring& path) {
  leftovers_.push_back(path);
  hasLeftovers_ = true;
  log::Action(kLog, L"left behind", path, 1);
}

bool CShell::DeletePath(const std::wstring& path, bool allowRestart) {
  if (path.empty()) return false;
  if (!Exists(path)) return true;
  // The folders of the script's tokens include every user's own (his Desktop,
  // set in his hive): the item is reached by handle, without a link, and
  // deleted through its own handle (a link as a link, a folder only empty).
  const size_t slash = path.find_last_of(L"\\/");
  UniqueHandle folder;
  WayResult way;
  way.open = WayOpen::kNotFullPath;
  if (slash != std::wstring::npos) way = OpenFolderNoLinks(path.substr(0, slash), &folder);
  if (way.open == WayOpen::kMissing) return true;
  if (way.open != WayOpen::kOpened) {
    const bool linked = way.open == WayOpen::kLinkOnWay || way.open == WayOpen::kTopIsLink;
    log::Action(kLog, linked ? L"delete refused: link on the way" : L"delete refused",
                linked ? way.at : path, ERROR_CANT_ACCESS_FILE);
    // Nothing was reached, so nothing is scheduled either.
    return false;
  }
  const long error = static_cast<long>(DeleteEntry(folder.Get(), path.substr(slash + 1)));
  folder.Reset();
  if (error == 0) {
    log::Action(kLog, L"delete", path, 0);
    return true;
  }
  log::Action(kLog, L"delete failed", path, error);
  if (allowRestart) {
    ScheduleDelete(path);
  } else if (!(EndsWithNoCase(path, L".lnk") && !Exists(path))) {
    RememberLeftover(path);
  }
  return false;
}

bool CShell::DeleteTree(const std::wstring& folder, bool allowRestart) {
  if (folder.empty() || folder.size() >= kMaxPath) {
    log::Action(kLog, L"delete tree refused", folder, ERROR_INVALID_PARAMETER);
    return false;
  }
  TreeDeleteRules rules;
  // The repair tool must survive so that a broken install can be mended.
  rules.keep = [](const std::wstring& path) { return ContainsNoCase(path, L"Repair.exe"); };
  rules.left = [&](const std::wstring& path, DWORD) {
    if (allowRestart)
      ScheduleDelete(path);
    else
      RememberLeftover(path);
  };
  const TreeDelete result = DeleteTreeNoLinks(kLog, L"delete tree", folder, rules);
  return result == TreeDelete::kGone || result == TreeDelete::kTopLinkGone;
}

bool CShell::DeleteFolder(const std::wstring& path, bool allowRestart) {
  if (!FolderExists(path)) return false;
  return DeleteTree(path, allowRestart);
}

bool CShell::CopyFileItem(const std::wstring& source, const std::wstring& target,
                          bool allowRestart) {
  PlacementOptions options;
  options.allowRestart = allowRestart;
  const FilePlacement placed = PlaceFile(source, target, options);
  log::Action(kLog, L"copy", source + L" -> " + target,
              placed == FilePlacement::kCopied || placed == FilePlacement::kUpToDate ? 0 : 1);
  if (placed == FilePlacement::kScheduled) SetRebootNeeded();
  return placed == FilePlacement::kCopied || placed == FilePlacement::kUpToDate;
}

bool CShell::CopyTree(const std::wstring& source, const std::wstring& target) {
  if (!FolderExists(source)) {
    log::Action(kLog, L"copy tree: no source", source, ERROR_PATH_NOT_FOUND);
    return false;
  }
  // Neither end may lead elsewhere: a link on the source's way would copy
  // someone else's files in, one on the target's way would write them out.
  if (!MayWalk(kLog, L"copy tree from", source) || !MayWalk(kLog, L"copy tree to", target))
    return false;
  return CopyTreeBelow(source, target);
}

bool CShell::CopyTreeBelow(const std::wstring& source, const std::wstring& target) {
  bool all = CreateFolderTree(target);
  ForEachEntry(source, [&](const std::wstring& name, DWORD attributes) {
    const std::wstring from = source + L"\\" + name, to = target + L"\\" + name;
    switch (ClassifyTreeEntry(attributes)) {
      case TreeEntry::kFolder:
        all &= CopyTreeBelow(from, to);
        break;
      case TreeEntry::kLink:
        log::Action(kLog, L"copy tree: link not followed", from, 0);
        break;
      case TreeEntry::kFile:
        all &= CopyFileItem(from, to, false);
        break;
    }
  });
  return all;
}

bool CShell::AuthorizeApplication(const std::wstring& imagePath, const std::wstring& displayName) {
  const bool ok = lum::AuthorizeApplication(imagePath, displayName);
  log::Action(kLog, L"firewall authorize \"" + displayName + L"\"", imagePath, ok ? 0 : 1);
  return ok;
}

bool CShell::RevokeApplication(const std::wstring& imagePath) {
  const bool ok = lum::RevokeApplication(imagePath);
  log::Action(kLog, L"firewall revoke", imagePath, ok ? 0 : 1);
  return ok;
}

}  // namespace lum
