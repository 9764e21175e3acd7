// Files and folders held by handle, so that what was checked is what is used.
//
// An elevated process that loads or starts code, or copies it into Program
// Files, must use the very object it checked: a check by path followed by a
// use by path lets someone swap the object, or a folder on its way, in
// between. Each function here opens the object with FILE_FLAG_OPEN_REPARSE_POINT
// (a link is seen, never followed), refuses a link on the handle, and keeps a
// share mode without FILE_SHARE_DELETE (and, for files, without
// FILE_SHARE_WRITE): while the handle lives nobody can change, rename or
// delete the object. Where the system can name a handle's file
// (GetFinalPathNameByHandleW, looked up at run time: Windows XP has none) the
// name must be the one asked for, so no link further up the path led
// elsewhere.
//
// Threading: any thread; no shared state.
#pragma once
#include <windows.h>

#include <string>

#include "system/win_handle_win.h"

namespace lum {

// Opens the existing file `path` for reading, sharing reading only. Refuses
// a folder or a link (ERROR_CANT_ACCESS_FILE) and a path that does not lead
// straight to the file (ERROR_PATH_NOT_FOUND). False with GetLastError.
bool OpenHeldFile(const std::wstring& path, UniqueFileHandle* file);

// Creates the folder `path` and opens it in one step (no moment in which
// the new folder exists unheld), with the rights of `sddl`, and keeps it
// open for listing, sharing reading and writing but not deletion: it can be
// neither renamed nor removed while `folder` lives. A name that exists
// already (a folder, file or link someone made first) is never taken:
// ERROR_ALREADY_EXISTS. A parent that is a link, or a path that does not
// lead straight to the new folder, is refused (ERROR_CANT_ACCESS_FILE) and
// the folder removed again. False with GetLastError.
bool CreateHeldFolder(const std::wstring& path, const wchar_t* sddl, UniqueFileHandle* folder);

// Whether `path` names, now, the very object `held` is open on (same volume
// and file index, not a link on the handle) and, where the system can tell,
// leads straight to it.
bool PathLeadsTo(HANDLE held, const std::wstring& path);

// The system's name for the handle's file ("C:\..." without "\\?\"); empty
// where the system has no such query or it fails.
std::wstring HandleFinalPath(HANDLE handle);

}  // namespace lum
