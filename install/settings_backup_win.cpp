#include <windows.h>
// These headers build on windows.h.
#include <aclapi.h>
#include <shlobj.h>

#include <vector>

#include "base/install_log.h"
#include "base/text.h"
#include "install/settings_backup.h"
#include "payload/resource_file_win.h"
#include "system/file_ops_win.h"
#include "system/folder_tree_win.h"
#include "system/link_rule.h"
#include "system/win_handle_win.h"

namespace lum {
namespace {

constexpr const char* kLog = "settings";
// Settings files are small; anything larger is not one of ours.
constexpr DWORD kMaxSettingBytes = 16 * 1024 * 1024;

// The fresh install keeps its own copy when there is one, and also when the
// copy cannot be looked at: only a target known to be absent is filled.
bool TargetMayBeFilled(const std::wstring& target) {
  const DWORD attributes = ::GetFileAttributesW(target.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return ::GetLastError() != ERROR_ACCESS_DENIED;
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// The setting at `relative` below the held backup folder, read through a
// handle on the file itself (a link is refused), written as a new file.
// False only when a setting that is there could not be read or written: the
// backup is then the user's only copy of it.
bool RestoreOne(const std::wstring& relative, const std::wstring& installFolder,
                const std::wstring& backupFolder) {
  const std::wstring target = JoinPath(installFolder, relative);
  CreateFolderTree(ParentFolder(target));
  if (!TargetMayBeFilled(target)) {
    log::Note(kLog, L"kept the installed copy of " + relative);
    return true;
  }
  const std::wstring source = JoinPath(backupFolder, relative);
  if (!FileExists(source)) return true;
  for (const std::wstring& step : PathsOnTheWay(backupFolder, relative)) {
    if (IsLink(::GetFileAttributesW(step.c_str()))) {
      log::Action(kLog, L"backed-up setting reached through a link, not restored", step,
                  ERROR_CANT_ACCESS_FILE);
      return true;
    }
  }
  UniqueFileHandle in(::CreateFileW(source.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  BY_HANDLE_FILE_INFORMATION info = {};
  if (!in || !::GetFileInformationByHandle(in.Get(), &info) ||
      (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) ||
      info.nFileSizeHigh != 0 || info.nFileSizeLow > kMaxSettingBytes) {
    log::Action(kLog, L"backed-up setting not a plain file of ours, not restored", source,
                ERROR_CANT_ACCESS_FILE);
    return true;
  }
  std::vector<char> bytes(info.nFileSizeLow);
  DWORD read = 0;
  if (!bytes.empty() &&
      (!::ReadFile(in.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) ||
       read != bytes.size())) {
    log::Action(kLog, L"backed-up setting unreadable", source, static_cast<long>(::GetLastError()));
    return false;
  }
  // New, so the install folder's rights apply to it and the installer owns it.
  UniqueFileHandle out(::CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD written = 0;
  const bool copied =
      out && (bytes.empty() || (::WriteFile(out.Get(), bytes.data(),
                                            static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                                written == bytes.size()));
  const long code = copied ? 0 : static_cast<long>(::GetLastError());
  out.Reset();
  if (!copied) ::DeleteFileW(target.c_str());
  log::Action(kLog, L"restore backed-up setting from " + source, target, code);
  return copied;
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

bool BackupOwnedByAdministrators(void* folderHandle) {
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (::GetSecurityInfo(static_cast<HANDLE>(folderHandle), SE_FILE_OBJECT,
                        OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr,
                        &descriptor) != ERROR_SUCCESS)
    return false;
  UniqueLocal owned(descriptor);
  return ::IsWellKnownSid(owner, WinLocalSystemSid) ||
         ::IsWellKnownSid(owner, WinBuiltinAdministratorsSid);
}

void RestoreBackedUpSettingsFrom(const IniTable& actionScript, const std::wstring& installFolder,
                                 const std::wstring& backupFolder, BackupOwnerTest ownerTrusted) {
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
  if (attributes == INVALID_FILE_ATTRIBUTES) return;  // no backup
  if (!actionScript.HasSection(kBackupSettingsSection)) return;

  // Held without delete sharing until the restore ends: the folder judged is
  // the folder read from.
  UniqueFileHandle held(::CreateFileW(backupFolder.c_str(), READ_CONTROL,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                                      nullptr));
  BY_HANDLE_FILE_INFORMATION info = {};
  if (!held || !::GetFileInformationByHandle(held.Get(), &info) ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    log::Action(kLog, L"settings backup not usable", backupFolder, ERROR_CANT_ACCESS_FILE);
    return;
  }
  if (!ownerTrusted(held.Get())) {
    log::Action(kLog,
                L"settings backup not made by SYSTEM or the Administrators: not restored, "
                L"left alone",
                backupFolder, ERROR_ACCESS_DENIED);
    return;
  }
  bool allRestored = true;
  for (const std::wstring& relative : BackupSettingsFrom(actionScript)) {
    allRestored = RestoreOne(relative, installFolder, backupFolder) && allRestored;
  }
  held.Reset();
  if (!allRestored) {
    log::Action(kLog, L"a setting could not be restored: the settings backup is kept",
                backupFolder, ERROR_CANT_ACCESS_FILE);
    return;
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
