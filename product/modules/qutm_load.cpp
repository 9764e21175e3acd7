// deepscan\qutmload.dll: installs the scan engine's loader driver on 32-bit
// Windows (README.md).
#include <windows.h>

#include "handshake.h"

extern "C" __declspec(dllexport) int WINAPI SetupInstall() {
  lum::product::RecordCall(L"deepscan\\qutmload.dll!SetupInstall", nullptr);
  return 1;
}
