// ipc\DrvUtility.dll: installs the product's helper drivers (README.md).
#include <windows.h>

#include "handshake.h"

extern "C" __declspec(dllexport) int WINAPI InstallDriverForLumSafeSetup() {
  lum::product::RecordCall(L"ipc\\DrvUtility.dll!InstallDriverForLumSafeSetup", nullptr);
  return 1;
}
