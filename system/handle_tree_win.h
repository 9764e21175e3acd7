// Folders, files and whole trees reached by handle, never through a link.
//
// An elevated program that works in a folder a standard user can write to
// (his profile, %TEMP%, his Desktop and Programs folders, a folder under the
// common application data before it is secured) cannot trust a path: between
// any check by path and the use by path the user can swap a folder for a
// junction and send the use anywhere. So everything here goes by handle:
//   - a path is opened from its volume root one folder at a time, each
//     relative to the handle of the one above (NtCreateFile with
//     OBJECT_ATTRIBUTES.RootDirectory and FILE_OPEN_REPARSE_POINT), and each
//     is judged on its handle (a reparse point is refused) and, as a second
//     view, by its own entry as its parent lists it;
//   - the folder reached is held open without delete sharing, so it cannot be
//     renamed or replaced while the work goes on, and all work in it goes
//     relative to that handle (a folder above it swapped later changes
//     nothing: the handle is the folder that was checked);
//   - a folder is listed through its handle (NtQueryDirectoryFile), every
//     entry is opened relative to it the same way, and deleted through its
//     own handle (FileDispositionInformation): a link is removed as a link,
//     what it points to is never reached;
//   - a file is written only as a new entry created relative to the folder's
//     handle (FILE_CREATE never follows a name that exists).
// The native calls are looked up in ntdll at run time (every Windows has
// them; the installer names none at load time).
//
// This is the one walker and deleter of the installer for trees a standard
// user can write to (R2); walk_guard_win.h's check is built on it.
// Threading: no shared state; any thread.
#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "system/win_handle_win.h"

namespace lum {

// How opening the way to a folder ended.
enum class WayOpen {
  kOpened,       // every folder of the way is a real folder; the handle is the last one
  kMissing,      // a folder of the way does not exist (`at` names it); nothing was followed
  kLinkOnWay,    // a folder above the last one is a link (`at` names it)
  kTopIsLink,    // the last folder itself is a link (`at` names it)
  kNotFullPath,  // not a full path below a volume root, or it steps through "." or ".."
  kFailed,       // a folder could not be opened or read (`error`)
};

struct WayResult {
  WayOpen open = WayOpen::kFailed;
  std::wstring at;  // the folder where the way stopped, when it stopped
  DWORD error = 0;  // Win32 code of a failure
};

// Opens the folder `path` as described above; `*folder` holds it (with
// FILE_LIST_DIRECTORY, FILE_TRAVERSE, SYNCHRONIZE, and DELETE when
// `forDelete`) when the answer is kOpened. With `createMissing`, missing
// folders of the way are created new relative to their parent's handle
// (each creation logged under "files").
WayResult OpenFolderNoLinks(const std::wstring& path, UniqueHandle* folder,
                            bool createMissing = false, bool forDelete = false);

// One entry of a folder as its parent lists it.
struct FolderEntry {
  std::wstring name;
  uint32_t attributes = 0;
  uint64_t size = 0;
};
// Every entry of the open folder `folder` but "." and "..", listed through
// the handle. False when the listing did not end normally.
bool ListFolderEntries(HANDLE folder, std::vector<FolderEntry>* entries);

// What an entry opened relative to its folder is, judged on its own handle.
enum class EntryKind { kMissing, kFile, kFolder, kLink, kFailed };
// Opens the entry `name` (a single name, no separator) of the open folder
// `folder` without following it. `listed` is its attributes as the folder's
// listing gave them (kAttributesInvalid when not listed: the entry is then
// looked up in the listing). `*entry` holds it unless kMissing/kFailed, and
// for kLink only when the handle is the link itself: an entry its folder
// lists as a link whose handle is not one (a file system that followed it)
// is answered kLink with no handle, since its handle would be the target.
EntryKind OpenEntry(HANDLE folder, const std::wstring& name, uint32_t listed, UniqueHandle* entry,
                    DWORD* error = nullptr);

// Deletes the entry OpenEntry opened, through that handle (read-only
// cleared first); it goes as the last handle to it closes. A link goes as a
// link. 0, or the Win32 code (a folder that is not empty, a file in use;
// ERROR_CANT_ACCESS_FILE for no handle: a link that stays).
DWORD DeleteOpenedEntry(HANDLE entry);

// Deletes the entry `name` of the open folder `folder` through its own
// handle: a file (read-only cleared first), an empty folder, or a link as a
// link. 0 when gone or never there, else the Win32 code.
DWORD DeleteEntry(HANDLE folder, const std::wstring& name);

// Deletes the file `name` in the folder `path`, reached by OpenFolderNoLinks;
// logged under `category` as `what` (the refusal as "<what> refused: link on
// the way"). 0 when gone or never there (also when the folder is missing),
// ERROR_CANT_ACCESS_FILE when a link lies on the way, else the Win32 code.
DWORD DeleteFileNoLinks(const char* category, const std::wstring& what, const std::wstring& path);

// Writes `bytes` as the file `name` of the open folder `folder`: what is at
// that name is deleted first as DeleteEntry does (a link as a link), then
// the file is created new. 0, or the Win32 code (nothing left behind then).
DWORD WriteNewFileIn(HANDLE folder, const std::wstring& name, const std::string& bytes);

// Creates the file `name` new in the open folder `folder`, never opening
// what has that name (a link included), with `access` and shared for reading
// and writing; `*file` holds it. 0, ERROR_ALREADY_EXISTS when the name is
// taken, or the Win32 code.
DWORD CreateNewFileIn(HANDLE folder, const std::wstring& name, ACCESS_MASK access,
                      UniqueHandle* file);

// What a tree delete does at each entry.
struct TreeDeleteRules {
  // True for a file that stays where it is (so do the folders holding it).
  std::function<bool(const std::wstring& path)> keep;
  // Told of each file or folder that could not be deleted, with the Win32
  // code; the walk goes on. Never told of a link: a link that cannot be
  // removed only stays.
  std::function<void(const std::wstring& path, DWORD error)> left;
};

enum class TreeDelete {
  kGone,         // the tree is gone (or was never there)
  kTopLinkGone,  // the top itself was a link: that link is gone, nothing behind it was touched
  kPartly,       // entries stay (kept, or in use); the rest is gone
  kRefused,      // a link on the way above the top, or not a full path: nothing done
  kFailed,       // the top could not be opened or listed
};

// Deletes the folder `path` with everything in it, by handle, never through
// a link: a link inside is removed as a link, a top that is a link loses
// only the link. Each deletion and the refusal are logged under `category`
// (the refusal as "<what> refused: link on the way" with the link).
TreeDelete DeleteTreeNoLinks(const char* category, const std::wstring& what,
                             const std::wstring& path, const TreeDeleteRules& rules = {});

}  // namespace lum
