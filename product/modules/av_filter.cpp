// filemon\LumAvFlt.dll: installs the file-filter driver (README.md).
#include <windows.h>

#include <string>

#include "driver_service.h"
#include "handshake.h"

extern "C" __declspec(dllexport) int WINAPI Install(int mode) {
  lum::product::RecordCall(L"filemon\\LumAvFlt.dll!Install", std::to_wstring(mode).c_str());
  lum::product::RegisterDriverService(L"LumAvFlt", SERVICE_FILE_SYSTEM_DRIVER, L"LumAvFlt.sys");
  return 1;
}
