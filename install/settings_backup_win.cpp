#include <windows.h>
// These headers build on windows.h.
#include <shlobj.h>

#include "base/install_log.h"
#include "base/text.h"
#include "install/settings_backup.h"
#include "payload/resource_file_win.h"
#include "system/file_ops_win.h"
#include "system/folder_tree_win.h"
#include "system/link_rule.h"

namespace lum {
namespace {

constexpr const char* kLog = "settings";

// The fresh install keeps its own copy when there is one, and also when the
// copy cannot be looked at: only a target known to be absent is filled.
bool TargetMayBeFilled(const std::wstring& target) {
  const DWORD attributes = ::GetFileAttributesW(target.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return ::GetLastError() != ERROR_ACCESS_DENIED;
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

void RestoreOne(const std::wstring& relative, const std::wstring& installFolder,
                const std::wstring& backupFolder) {
  const std::wstring target = JoinPath(installFolder, relative);
  CreateFolderTree(ParentFolder(target));
  if (!TargetMayBeFilled(target)) {
    log::Note(kLog, L"kept the installed copy of " + relative);
    return;
  }
  const std::wstring source = JoinPath(backupFolder, relative);
  if (!FileExists(source)) return;
  for (const std::wstring& step : PathsOnTheWay(backupFolder, relative)) {
    if (IsLink(::GetFileAttributesW(step.c_str()))) {
      log::Action(kLog, L"backed-up setting reached through a link, not restored", step,
                  ERROR_CANT_ACCESS_FILE);
      return;
    }
  }
  const bool moved = ::MoveFileExW(source.c_str(), target.c_str(),
                                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED) != FALSE;
  const long code = moved ? 0 : static_cast<long>(::GetLastError());
  log::Action(kLog, L"restore backed-up setting from " + source, target, code);
}

}  // namespace

RelativePathSet LoadReinstallIgnored() {
  IniTable script;
  if (!script.LoadFromResource(kFileResourceType, kResActionScript)) return RelativePathSet();
  RelativePathSet paths = ReinstallIgnoredFrom(script);
  for (const std::wstring& path : paths) log::Note(kLog, L"reinstall keeps installed " + path);
  return paths;
}

std::wstring SettingsBackupFolder() {
  wchar_t folder[MAX_PATH + 1] = {};
  if (!::SHGetSpecialFolderPathW(nullptr, folder, CSIDL_COMMON_APPDATA, FALSE)) {
    return std::wstring();
  }
  return std::wstring(folder) + L"\\" + kSettingsBackupFolderName;
}

void RestoreBackedUpSettingsFrom(const IniTable& actionScript, const std::wstring& installFolder,
                                 const std::wstring& backupFolder) {
  const DWORD attributes = ::GetFileAttributesW(backupFolder.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = ::GetLastError();
    if (error != ERROR_FILE_NOT_FOUND) {
      log::Action(kLog, L"settings backup not usable", backupFolder, static_cast<long>(error));
      return;
    }
  } else if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    log::Note(kLog, L"settings backup is a plain file, left alone: " + backupFolder);
    return;
  } else if (IsLink(attributes)) {
    // Anyone may create this folder, also as a link to files that are not
    // ours: nothing is restored from it, and only the link itself goes.
    const bool removed = RemoveLink(backupFolder, attributes);
    log::Action(kLog, L"settings backup is a link: not restored, link removed", backupFolder,
                removed ? 0 : static_cast<long>(::GetLastError()));
    return;
  }
  if (!actionScript.HasSection(kBackupSettingsSection)) return;

  for (const std::wstring& relative : BackupSettingsFrom(actionScript)) {
    RestoreOne(relative, installFolder, backupFolder);
  }

  if (!FolderExists(backupFolder)) return;
  if (backupFolder.size() >= MAX_PATH) {
    log::Action(kLog, L"settings backup path too long to delete", backupFolder,
                ERROR_FILENAME_EXCED_RANGE);
    return;
  }
  const bool deleted = DeleteFolderTree(backupFolder);
  const long code = deleted ? 0 : static_cast<long>(::GetLastError());
  log::Action(kLog, L"delete settings backup", backupFolder, code);
}

void RestoreBackedUpSettings(const std::wstring& installFolder) {
  const std::wstring backupFolder = SettingsBackupFolder();
  if (backupFolder.empty()) {
    log::Note(kLog, L"common application data folder unknown; no settings restored");
    return;
  }
  IniTable script;
  if (!script.LoadFromResource(kFileResourceType, kResActionScript)) return;
  RestoreBackedUpSettingsFrom(script, installFolder, backupFolder);
}

int BackUpSettings(const IniTable& actionScript, const std::wstring& installFolder,
                   const std::wstring& backupFolder) {
  int copied = 0;
  for (const std::wstring& relative : BackupSettingsFrom(actionScript)) {
    const std::wstring source = JoinPath(installFolder, relative);
    if (!FileExists(source)) continue;
    const std::wstring target = JoinPath(backupFolder, relative);
    if (!CreateFolderTree(ParentFolder(target))) continue;
    const bool ok = ::CopyFileW(source.c_str(), target.c_str(), FALSE) != FALSE;
    const long code = ok ? 0 : static_cast<long>(::GetLastError());
    log::Action(kLog, L"back up setting " + source, target, code);
    if (ok) ++copied;
  }
  return copied;
}

}  // namespace lum
