// File and folder operations of the start-up path and the install engine.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

namespace lum {

bool FileExists(const std::wstring& path);    // exists and is not a folder
bool FolderExists(const std::wstring& path);  // exists and is a folder
// Deletes the folder with all its content (read-only entries included), by
// handle (handle_tree_win.h's DeleteTreeNoLinks): a link on the way refuses
// it, a link inside is removed as a link, and a `folder` that is itself a
// link loses only the link. True when the folder is gone afterwards.
bool DeleteFolderTree(const std::wstring& folder);
// Removes a reparse point itself (`attributes` as read for it), never its
// target: opened relative to its folder (reached without links) and deleted
// through its own handle only when that handle is a link. True when removed.
bool RemoveLink(const std::wstring& path, uint32_t attributes);
// Schedules every entry directly inside `folder` and then the folder itself
// for deletion at the next restart (MOVEFILE_DELAY_UNTIL_REBOOT, not
// recursive). Returns the number of entries scheduled, the folder included.
int ScheduleDeleteAtReboot(const std::wstring& folder);

// Creates `path` (parent must exist; an existing folder is a failure) with a
// protected DACL: full control for the current user, SYSTEM and the
// Administrators only, nothing inherited, so no one else can plant files in
// it before we load from it. False (and GetLastError) when not created.
bool CreatePrivateFolder(const std::wstring& path);
// Creates `path` anew (an existing folder is a failure, so a folder someone
// planted is never taken) with a protected DACL for SYSTEM and the
// Administrators only, and keeps it open (CreateHeldFolder) for
// IsProtectedFolderOfThisRun: until ReleaseProtectedFolder it can be neither
// renamed nor removed, so nobody can put a folder or a link of his own in
// its place. A parent that is a link is refused. False (and GetLastError,
// ERROR_ALREADY_EXISTS for a taken name) when not created.
bool CreateProtectedFolder(const std::wstring& path);
// Closes the handle CreateProtectedFolder keeps, so the folder can be
// removed; it is no protected folder of this run any more.
void ReleaseProtectedFolder(const std::wstring& path);
// Makes `path` (its parent must exist) a product folder inside a folder
// every user may write to, such as the common application data: a protected
// DACL with full control for SYSTEM and the Administrators and read access
// for users, so a standard user can neither add to it nor replace anything in
// it, with a link least of all. A folder that exists already gets the same
// DACL and the Administrators as owner (the one who planted it loses it). A
// link there is refused (ERROR_CANT_ACCESS_FILE). False (and GetLastError)
// when the folder is not made or not secured.
bool SecureSharedProductFolder(const std::wstring& path);
// The descriptor SecureSharedProductFolder gives: the Administrators as
// owner, protected (nothing inherited), full control for SYSTEM and the
// Administrators, read and execute for users, all inherited by what is made
// inside.
constexpr const wchar_t* kSharedProductFolderSddl =
    L"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";

// The rights CreateProtectedFolder gives: protected (nothing inherited),
// full control for SYSTEM and the Administrators, inherited by what is made
// inside, no one else.
constexpr const wchar_t* kProtectedFolderSddl = L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";
// Whether this process made `path` with CreateProtectedFolder (any case, with
// or without a trailing backslash) and holds it, and `path` leads to that
// very folder now (checked by handle: same file, no link on the way). Code
// is loaded only from such a folder.
bool IsProtectedFolderOfThisRun(const std::wstring& path);

// Creates the folder (all levels) when it is missing, then writes and
// deletes "writeable_test_<tick>.dat" in it, since a folder can exist and
// still refuse files.
bool IsWritableFolder(const std::wstring& path);

// Path with exactly one trailing backslash.
std::wstring WithTrailingSlash(const std::wstring& path);
// The part after the last '\' or '/'.
std::wstring FileNamePart(const std::wstring& path);

struct FileVersion {
  uint16_t major = 0, minor = 0, build = 0, revision = 0;
  std::wstring Text() const;  // "major.minor.build.revision"
};
// The fixed file version of a module's version resource.
bool ReadFileVersion(const std::wstring& path, FileVersion* version);
// A text of the version resource's first translation ("CompanyName",
// "FileDescription"); empty when the file has none.
std::wstring ReadVersionString(const std::wstring& path, const wchar_t* name);

// The running module's own full path (empty when it cannot be read).
std::wstring OwnModulePath();

}  // namespace lum
