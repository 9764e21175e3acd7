// Starting the installed product's main program for the interactive user
// after a successful run (the interactive finish and a silent "/show" run).
#pragma once
#include <string>

namespace lum {

// Starts "<installDir>\ZVSafeMain.exe /install" in the active console session
// through the tray service; when no such process shows up there within 5
// seconds, opens the program with ShellExecuteW instead. True when started.
bool StartInstalledProduct(const std::wstring& installDir);

}  // namespace lum
