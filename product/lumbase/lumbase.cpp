// The vendor base module: its export table and object factory.
#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "product/lumbase/image_file_reader.h"
#include "product/lumbase/module_objects.h"
#include "vendor/lum_module_abi_win.h"

namespace lum {

int __stdcall VerifyVendorFile(const wchar_t* path, int* kind) {
  if (kind) *kind = kTrustKindNone;
  if (!path) return 0;
  if (CheckVendorImage(path) != ImageTrust::kTrusted) return 0;
  if (kind) *kind = kTrustKindVendorSignature;
  return 1;
}

// The installed product's edition. The stand-in has no licence behind it: it
// answers LUM_PRODUCT_EDITION from the loading process's environment (a
// number; 0 when unset), so tests choose the edition.
int __stdcall ProductEdition() {
  wchar_t value[16] = {};
  const DWORD n = GetEnvironmentVariableW(L"LUM_PRODUCT_EDITION", value, 15);
  return n > 0 && n < 15 ? _wtoi(value) : 0;
}

}  // namespace lum

extern "C" int __stdcall InitLibs(lum::LumExportTable* table) {
  if (!table || table->capacity < lum::kBaseEntryCount) return 1;
  // Slots this module has no function for stay null; the caller's slots past
  // our count are left as they were.
  memset(table->entries, 0, sizeof(void*) * lum::kBaseEntryCount);
  table->entries[lum::kBaseEntryVerifyFile] = reinterpret_cast<void*>(&lum::VerifyVendorFile);
  table->entries[lum::kBaseEntryEdition] = reinterpret_cast<void*>(&lum::ProductEdition);
  table->count = lum::kBaseEntryCount;
  return 0;
}

extern "C" int __stdcall CreateObject(const GUID* iid, void** out) {
  if (!out) return 1;
  *out = nullptr;
  if (!iid) return 1;
  return lum::CreateModuleObject(*iid, out) ? 0 : 1;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) DisableThreadLibraryCalls(instance);
  return TRUE;
}
