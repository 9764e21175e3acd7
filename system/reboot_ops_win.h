// Restart-time file operations of the install run: replacing files that are
// in use, purging stale pending renames on a reinstall, the per-folder
// uninstall marker and the pending-uninstall records read from RunOnce.
// Every scheduled operation is written to the installer's log.
//
// Threading: callable from the install worker while the main window reads
// the flags (reboot_flags.h, atomic).
#pragma once
#include <functional>
#include <string>

#include "system/file_ops_win.h"
#include "system/pending_renames.h"
#include "system/placement_files_win.h"
#include "system/placement_journal.h"
#include "system/reboot_flags.h"
#include "system/uninstall_marker.h"

namespace lum {

constexpr const wchar_t* kRunOnceKey = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce";

// The installer's one copy with restart fallback, for a single file (the
// action script's copies, the run's later single files): a placement
// journal of one entry. The original is set aside, the source copied in its
// place, or, when the destination is held, a staged "Lum*.tmp" copy is
// scheduled to replace it at the restart; the original is deleted only once
// that worked (at the restart when it is still held). When neither worked
// the destination is as it was. Every step is logged.
FilePlacement PlaceFile(const std::wstring& source, const std::wstring& destination,
                        const PlacementOptions& options);

// One file of the install run placed through `journal` (settled by the
// caller); `moveSource`: the source is the run's own extracted file on the
// destination's volume, moved in rather than copied. Guard modules held by
// the running guard are not renamed; a
// destination replaced at the restart sets the reboot-needed flag (not for
// the guard modules, which are expected to stay in use), and for the main
// program also the do-not-start-product flag.
PlacementResult PlaceInstallFile(PlacementJournal& journal, const std::wstring& source,
                                 const std::wstring& destination, bool moveSource = false);

// PlaceInstallFile for one file on its own. False when the source does not
// exist or the file could be neither copied nor scheduled.
bool ReplaceFileAtReboot(const std::wstring& source, const std::wstring& destination);

// Reinstall cleanup: drops pending renames of ".cab"/".tmp" files inside the
// install folder from the system list, deletes "<folder>\update" with
// `deleteTree` (the install run passes the action script's deleter, which
// keeps a Repair.exe) and the dropped files (scheduling those that are in use
// for deletion). False when the list is absent, not REG_MULTI_SZ, malformed,
// cannot be written back, or another installer holds it beyond the wait.
bool PurgeInstallFolderRenames(
    const std::wstring& installFolder,
    const std::function<bool(const std::wstring&)>& deleteTree = DeleteFolderTree);

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
