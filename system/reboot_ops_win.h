// Restart-time file operations of the install run: replacing files that are
// in use, purging stale pending renames on a reinstall, the per-folder
// uninstall marker and the pending-uninstall records read from RunOnce.
// Every scheduled operation is written to the installer's log.
//
// Threading: callable from the install worker while the main window reads
// the flags (reboot_flags.h, atomic).
#pragma once
#include <string>

#include "system/pending_renames.h"
#include "system/reboot_flags.h"
#include "system/uninstall_marker.h"

namespace lum {

constexpr const wchar_t* kRunOnceKey = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
constexpr const wchar_t* kSessionManagerKey =
    L"SYSTEM\\CurrentControlSet\\Control\\Session Manager";
constexpr const wchar_t* kPendingRenamesValue = L"PendingFileRenameOperations";

// Copies `source` over `destination` (creating its folder). A destination
// that cannot be deleted is renamed away and deleted at the restart, or,
// when that does not work, replaced at the next restart; the reboot-needed
// flag is then set (not for the guard modules, which are expected to stay
// in use), and for the main program also the do-not-start-product flag.
// False only when the source does not exist.
bool ReplaceFileAtReboot(const std::wstring& source, const std::wstring& destination);

// Reinstall cleanup: drops pending renames of ".cab"/".tmp" files inside the
// install folder from the system list, deletes "<folder>\update" and the
// dropped files (scheduling those that are in use for deletion). False when
// the list is absent, not REG_MULTI_SZ, malformed or cannot be written back.
bool PurgeInstallFolderRenames(const std::wstring& installFolder);

// Deletes the folder's uninstall marker from HKLM RunOnce; true when it
// existed and was deleted.
bool RemoveUninstallMarker(const std::wstring& installFolder);

// A removal of a family product that waits for a restart.
struct PendingUninstall {
  int kind = 0;      // 0 none, 1, 2 or 5
  int exitCode = 0;  // 0, 501, 502 or 505
  std::wstring messageKey;
};
// HKLM RunOnce values "sdel", "Lumsafeuninst", "DeleteLumsd", in that
// order; the first present decides.
PendingUninstall FindPendingUninstall();

// Some RunOnce value whose name contains "Lumsafeuninst" has data that
// contains "removeLum.bat" (the product's own removal is pending).
bool HasPendingProductUninstall();

}  // namespace lum
