// Shortcuts and the uninstall entry, and the restart that the install run
// and start-up call. Not built yet: each logs so and answers "not done";
// none of them fails the install.
#pragma once
#include <string>

namespace lum {

bool RestartWindows();
// Start-menu and desktop shortcuts with the uninstall entry: 0 or the error
// code of the uninstall key.
long CreateShortcuts(const std::wstring& installDir);
bool RegisterContextMenu(const std::wstring& installDir);

}  // namespace lum
