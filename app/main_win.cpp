// Process entry of LumBastionSetup.exe.
#include <windows.h>

#include "app/startup_win.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR commandTail, int showCommand) {
  return lum::RunInstaller(instance, commandTail ? commandTail : L"", showCommand);
}
