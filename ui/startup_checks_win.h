// The main window's checks before its page is built and when Install is
// pressed, with their messages shown through the skinned box, and the
// pending-restart check with its relaunch and restart prompt.
//
// Threading: the interface thread only.
#pragma once
#include <windows.h>

namespace lum {

// Creation checks in their order: Windows version (107), product conflict,
// pending restart, installed version (115), running family program, and the
// install procedure's work-folder result. A failing check has shown its
// message (owner = `window`); returns the code that ends the window, 0 = go on.
int RunWindowStartupChecks(HWND window);
// The two checks when Install is pressed; 0 = go on, else the code that ends
// the window (its message shown).
int RunInstallTimeChecks(HWND window);

}  // namespace lum
