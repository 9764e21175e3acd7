// LumBNCommon.dll: the product's common module. Of its exports the installer
// calls "GetEdition" (reserved pointer, flags) for the installed edition.
// The stand-in answers LUM_PRODUCT_EDITION from the loading process's
// environment (0 when unset) and records in "LumBNCommon.calls" beside the
// module when it is loaded and unloaded and each call, with the module's
// build ("build=<file version>") so a test can tell an old copy from a new:
//   attach build=<version> | GetEdition -> <n> | detach
#include <windows.h>

#include <cstdlib>
#include <string>

#include "call_record.h"

namespace {

HMODULE self = nullptr;

std::wstring Build() {
  const std::wstring path = lum_product::ModulePath(self);
  DWORD handle = 0;
  const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &handle);
  std::wstring data(size / sizeof(wchar_t) + 1, L'\0');
  VS_FIXEDFILEINFO* info = nullptr;
  UINT length = 0;
  if (size == 0 || !GetFileVersionInfoW(path.c_str(), 0, size, &data[0]) ||
      !VerQueryValueW(&data[0], L"\\", reinterpret_cast<void**>(&info), &length) || !info)
    return L"?";
  return std::to_wstring(HIWORD(info->dwFileVersionMS)) + L"." +
         std::to_wstring(LOWORD(info->dwFileVersionMS)) + L"." +
         std::to_wstring(HIWORD(info->dwFileVersionLS)) + L"." +
         std::to_wstring(LOWORD(info->dwFileVersionLS));
}

}  // namespace

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    self = instance;
    lum_product::RecordCall(self, L"LumBNCommon.calls", L"attach build=" + Build());
  } else if (reason == DLL_PROCESS_DETACH) {
    lum_product::RecordCall(self, L"LumBNCommon.calls", L"detach");
  }
  return TRUE;
}

extern "C" __declspec(dllexport) int __stdcall GetEdition(void*, int) {
  wchar_t value[16] = {};
  const DWORD n = GetEnvironmentVariableW(L"LUM_PRODUCT_EDITION", value, 15);
  const int edition = n > 0 && n < 15 ? _wtoi(value) : 0;
  lum_product::RecordCall(self, L"LumBNCommon.calls", L"GetEdition -> " + std::to_wstring(edition));
  return edition;
}
