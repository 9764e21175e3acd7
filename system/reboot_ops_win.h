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

// The installer's one copy with restart fallback (file placement and the
// action script's copies).
enum class FilePlacement {
  kCopied,         // the destination holds the source now
  kUpToDate,       // the destination is held and already byte-identical
  kScheduled,      // a staged copy replaces the destination at the next restart
  kSourceMissing,  // nothing done
  kFailed,         // neither copied nor scheduled; the destination is as it was
};
struct PlacementOptions {
  bool allowRestart = true;      // stage a copy for the restart when the copy fails
  bool renameHeld = true;        // rename a held destination aside and copy in its place
  bool resetAttributes = false;  // clear read-only & co. before giving up on deleting
};
// Creates the destination's folder; deletes the destination, else (options)
// renames it to a fresh "Lum*.tmp" beside it and copies the source in its
// place. When that copy fails, a staged "Lum*.tmp" copy is scheduled to
// replace the destination at the restart. The renamed original is scheduled
// for deletion only once a copy is in place or scheduled; when neither
// works it is put back, and a staged copy that could not be scheduled is
// deleted. Every step is logged.
FilePlacement PlaceFile(const std::wstring& source, const std::wstring& destination,
                        const PlacementOptions& options);

// PlaceFile for the install run. A destination replaced at the restart sets
// the reboot-needed flag (not for the guard modules, which are expected to
// stay in use), and for the main program also the do-not-start-product
// flag. False when the source does not exist or the file could be neither
// copied nor scheduled (the install records that as an error).
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
