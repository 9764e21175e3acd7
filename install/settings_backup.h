// Settings that survive an uninstall and a reinstall.
//
// The action script (resource FILE 503) carries two lists of paths relative
// to the install folder:
//  - [backupSettings]: files the product's uninstaller keeps in the backup
//    folder ("<common application data>\LumBNBackup"); a new install moves
//    them back when the fresh copy does not have them, then deletes the
//    backup folder;
//  - [reinstallIgnored]: payload files that must not overwrite the installed
//    copy on a reinstall; compared with archive item paths without letter
//    case ('/' read as '\', ShouldCopyItem): the file system does not tell
//    "Setting.ini" from "setting.ini", so an item spelled another way would
//    still land on the user's file.
#pragma once
#include <set>
#include <string>
#include <vector>

#include "payload/ini_table.h"

namespace lum {

constexpr const wchar_t* kBackupSettingsSection = L"backupSettings";
constexpr const wchar_t* kReinstallIgnoredSection = L"reinstallIgnored";
constexpr const wchar_t* kSettingsBackupFolderName = L"LumBNBackup";

// Ordered set of relative paths, ordinal comparison.
using RelativePathSet = std::set<std::wstring>;

// The values of [reinstallIgnored]; empty when the section is missing.
RelativePathSet ReinstallIgnoredFrom(const IniTable& actionScript);
bool IsPlainRelativePath(const std::wstring& path);
// The values of [backupSettings] in key order. Only plain relative paths are
// kept: empty values, rooted or drive paths and ".." steps are left out, so a
// restore can never move a file outside the install folder.
std::vector<std::wstring> BackupSettingsFrom(const IniTable& actionScript);

#ifdef _WIN32
// Reads resource FILE 503; an empty set when it or the section is missing.
RelativePathSet LoadReinstallIgnored();

// "<common application data>\LumBNBackup" (shell folder id 35); empty when
// the shell folder cannot be read.
std::wstring SettingsBackupFolder();

// Moves the backed-up settings named by resource FILE 503 into
// `installFolder` (only where the fresh install has no such file) and deletes
// the backup folder. Silent: every failure is logged and the install goes on.
// Any user may create the backup folder's name first and fill it with
// settings of his own, so it is restored from only when its owner, read
// through a handle held (no delete sharing) until the restore ends, is SYSTEM
// or the Administrators; otherwise it is left alone. Each file is read
// through a handle that is not a link's and written as a new file in the
// install folder, so it gets that folder's rights and the installer as
// owner, not the rights it had in the backup.
void RestoreBackedUpSettings(const std::wstring& installFolder);
// Whether the backup folder (an open handle on it) may be restored from.
using BackupOwnerTest = bool (*)(void* folderHandle);
// The real test: the owner is SYSTEM or the Administrators.
bool BackupOwnedByAdministrators(void* folderHandle);
// The same with an already parsed action script and an explicit backup
// folder (tests and callers that hold the script already). `ownerTrusted`
// replaces the owner test for tests under Wine, which keeps no file owner.
void RestoreBackedUpSettingsFrom(const IniTable& actionScript, const std::wstring& installFolder,
                                 const std::wstring& backupFolder,
                                 BackupOwnerTest ownerTrusted = &BackupOwnedByAdministrators);

// The uninstaller's half: copies each [backupSettings] file that exists in
// `installFolder` into `backupFolder` (same relative path, folders created).
// Returns the number of files copied.
int BackUpSettings(const IniTable& actionScript, const std::wstring& installFolder,
                   const std::wstring& backupFolder);
#endif

}  // namespace lum
