// The main window's checks before its page is built and when Install is
// pressed, with their messages shown through the skinned box, and the
// pending-restart check with its relaunch and restart prompt.
//
// Threading: the interface thread only.
#pragma once
#include <windows.h>

#include <string>

namespace lum {

// Creation checks in their order: Windows version (107), product conflict,
// pending restart, installed version (115), running family program, and the
// install procedure's work-folder result. True = go on. False ends the window
// with *exitCode, which is 0 when a "post" run handed over to its waiting
// copy; a failing check has shown its message (owner = `window`).
// `installerPath` is what the pending-restart check relaunches or names in
// RunOnce (this installer's own file unless a test says otherwise).
bool RunWindowStartupChecks(HWND window, int* exitCode);
bool RunWindowStartupChecks(HWND window, int* exitCode, const std::wstring& installerPath);
// The two checks when Install is pressed; 0 = go on, else the code that ends
// the window (its message shown).
int RunInstallTimeChecks(HWND window);

// What the pending-restart check decided.
struct PendingRestartResult {
  bool goOn = true;         // false: the run ends with `exitCode`
  int exitCode = 0;         // the pending-uninstall record's code (0 = none)
  bool relaunched = false;  // a "post" run handed over to its "post:wait" copy
  bool restartRequested = false;  // the user confirmed; "Lumts" written, restart asked
};
// With "post": a run without "wait" relaunches `installerPath` " /post:wait"
// through the guarded launcher and ends; a pending uninstall shows its
// message and ends. Without "post": a pending uninstall asks "NEED_REBOOT";
// confirming writes RunOnce "Lumts" = "\"<copy>\" /post" and restarts
// Windows; the run ends either way. <copy> is `installerPath` when that is a
// relocated copy under Program Files (kept while the entry names it), else a
// copy made there now (RestartRerunCopy); nothing is written without one.
// Messages are owned by `window`.
PendingRestartResult CheckPendingRestart(HWND window, const std::wstring& installerPath);

}  // namespace lum
