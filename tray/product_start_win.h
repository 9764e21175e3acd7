// Starting the installed product's main program for the interactive user
// after a successful run (the interactive finish and a silent "/show" run).
#pragma once
#include <string>

namespace lum {

// Starts "<installDir>\ZVSafeMain.exe /install" in the installer's own
// session (the user who ran it, also in a remote session) through the tray
// service. When no such process shows up there within 5 seconds, starts it
// itself with the user's rights at medium integrity in the install folder,
// never with the installer's elevated token (before Windows 6.0, where the
// installer runs with the user's own token, through the shell). True when
// started.
bool StartInstalledProduct(const std::wstring& installDir);

}  // namespace lum
