// netmon\Lumnetctrl.dll: installs the network monitor driver (README.md).
#include <windows.h>

#include "driver_service.h"
#include "handshake.h"

extern "C" __declspec(dllexport) HRESULT WINAPI DllRegisterServer() {
  lum::product::RecordCall(L"netmon\\Lumnetctrl.dll!DllRegisterServer", nullptr);
  lum::product::RegisterDriverService(L"Lumnetmon", SERVICE_KERNEL_DRIVER, L"Lumnetmon.sys");
  return S_OK;
}
