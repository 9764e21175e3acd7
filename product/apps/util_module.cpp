// Lumutil.dll: the product's utility module. Of its export table the
// installer uses entry 3, OpenLink (window, verb, file, parameters, folder,
// show), which opens a link for the user with lowered rights and answers as
// ShellExecute does (above 32 on success). The stand-in has no browser
// behind it: it records each call in "Lumutil.calls" beside the module
//   OpenLink verb=<verb> file=<file> show=<show>
// and answers 42 for an http or https address, 2 (file not found) otherwise.
#include <windows.h>

#include <cwchar>
#include <string>

#include "call_record.h"
#include "vendor/lum_module_abi_win.h"

namespace {

HMODULE self = nullptr;

int __stdcall OpenLink(HWND, const wchar_t* verb, const wchar_t* file, const wchar_t*,
                       const wchar_t*, int show) {
  const std::wstring target = file ? file : L"";
  lum_product::RecordCall(self, L"Lumutil.calls",
                          L"OpenLink verb=" + std::wstring(verb ? verb : L"") + L" file=" + target +
                              L" show=" + std::to_wstring(show));
  const bool web = _wcsnicmp(target.c_str(), L"http://", 7) == 0 ||
                   _wcsnicmp(target.c_str(), L"https://", 8) == 0;
  return web ? 42 : 2;
}

}  // namespace

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) self = instance;
  return TRUE;
}

extern "C" __declspec(dllexport) int __stdcall InitLibs(lum::LumExportTable* table) {
  if (!table || table->capacity < lum::kUtilEntryCount) return 1;
  for (uint32_t i = 0; i < lum::kUtilEntryCount; ++i) table->entries[i] = nullptr;
  table->entries[lum::kUtilEntryOpenLink] = reinterpret_cast<void*>(&OpenLink);
  table->count = lum::kUtilEntryCount;
  return 0;
}
