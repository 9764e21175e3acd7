// Process entry of LumBastionSetup.exe.
#include <windows.h>

#include "app/startup_win.h"
#include "base/install_log.h"
#include "base/system_dll_win.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR commandTail, int showCommand) {
  // Before anything can load a DLL by name: the installer's folder is a
  // download folder, its current folder and PATH the starting user's.
  const bool systemOnly = lum::RestrictDllSearchToSystemFolder();
  lum::log::Note("startup", systemOnly ? L"DLL search: the system folder only"
                                       : L"DLL search: without the current folder (older Windows)");
  return lum::RunInstaller(instance, commandTail ? commandTail : L"", showCommand);
}
