// The vendor base module: its export table and object factory.
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "product/lumbase/image_file_reader.h"
#include "product/lumbase/module_objects.h"
#include "vendor/lum_module_abi_win.h"

namespace lum {

namespace {

// Test switch LUM_VERIFY_DELAY="<file name>:<ms>": the answer for a file of
// that name comes that much later, so a test can act between a file's check
// and its use.
void DelayAnswerForTest(const wchar_t* path) {
  wchar_t value[128] = {};
  const DWORD n = GetEnvironmentVariableW(L"LUM_VERIFY_DELAY", value, 127);
  if (n == 0 || n >= 127) return;
  wchar_t* colon = wcsrchr(value, L':');
  if (!colon) return;
  *colon = L'\0';
  const wchar_t* slash = wcsrchr(path, L'\\');
  if (_wcsicmp(slash ? slash + 1 : path, value) == 0) Sleep(static_cast<DWORD>(_wtoi(colon + 1)));
}

}  // namespace

int __stdcall VerifyVendorFile(const wchar_t* path, int* kind) {
  if (kind) *kind = kTrustKindNone;
  if (!path) return 0;
  const bool trusted = CheckVendorImage(path) == ImageTrust::kTrusted;
  DelayAnswerForTest(path);
  if (!trusted) return 0;
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
