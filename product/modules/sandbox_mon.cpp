// ipc\sbmon.dll: installs the sandbox for the system's width (README.md).
#include <windows.h>

#include "handshake.h"

extern "C" __declspec(dllexport) int WINAPI InstallEx32() {
  lum::product::RecordCall(L"ipc\\sbmon.dll!InstallEx32", nullptr);
  return 1;
}

extern "C" __declspec(dllexport) int WINAPI InstallEx64() {
  lum::product::RecordCall(L"ipc\\sbmon.dll!InstallEx64", nullptr);
  return 1;
}
