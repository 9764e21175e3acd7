// What the tray link needs to know of one user session's processes: whether
// a program runs there, and what rights the session's shell has.
#pragma once
#include <windows.h>

#include <string>

namespace lum {
namespace tray {

// True when a process whose executable is `exeName` (case-insensitive) runs
// in `session`.
bool ProcessRunsInSession(const std::wstring& exeName, DWORD session);

// True when the first "explorer.exe" of `session` has the Administrators
// group (S-1-5-32-544) enabled in its token; *found says whether one runs.
bool ShellHoldsAdministrators(DWORD session, bool* found);
// Whether the token holds the Administrators group enabled (not for deny
// only, as in a filtered, unelevated token).
bool TokenHoldsAdministrators(HANDLE token);

}  // namespace tray
}  // namespace lum
