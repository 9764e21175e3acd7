// MenuEx.dll / MenuEx64.dll: the product's folder context-menu module. The
// installer only registers it; the stand-in registers and unregisters the
// class and its "SDLum" folder handler the way a shell extension does, and
// records each call in "MenuEx.calls" beside itself. It serves no menu.
#include <windows.h>

#include <string>

#include "call_record.h"

namespace {

constexpr const wchar_t* kClsid = L"{871D8DC2-84A4-4D1F-99D5-2A4E3BE2E87C}";
constexpr const wchar_t* kHandlerKey = L"Directory\\shellex\\ContextMenuHandlers\\SDLum";
HMODULE self = nullptr;

bool SetDefault(const std::wstring& key, const std::wstring& value, const wchar_t* name = nullptr) {
  HKEY h = nullptr;
  if (RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &h,
                      nullptr) != ERROR_SUCCESS)
    return false;
  const LONG rc = RegSetValueExW(h, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                 static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(h);
  return rc == ERROR_SUCCESS;
}

}  // namespace

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) self = instance;
  return TRUE;
}

extern "C" __declspec(dllexport) HRESULT WINAPI DllRegisterServer() {
  const std::wstring path = lum_product::ModulePath(self);
  const std::wstring clsidKey = std::wstring(L"CLSID\\") + kClsid;
  const bool ok = !path.empty() && SetDefault(clsidKey, L"Lum Bastion context menu") &&
                  SetDefault(clsidKey + L"\\InprocServer32", path) &&
                  SetDefault(clsidKey + L"\\InprocServer32", L"Apartment", L"ThreadingModel") &&
                  SetDefault(kHandlerKey, kClsid);
  lum_product::RecordCall(self, L"MenuEx.calls", L"DllRegisterServer " + path);
  return ok ? S_OK : E_FAIL;
}

extern "C" __declspec(dllexport) HRESULT WINAPI DllUnregisterServer() {
  RegDeleteTreeW(HKEY_CLASSES_ROOT, (std::wstring(L"CLSID\\") + kClsid).c_str());
  RegDeleteKeyW(HKEY_CLASSES_ROOT, (std::wstring(L"CLSID\\") + kClsid).c_str());
  RegDeleteTreeW(HKEY_CLASSES_ROOT, kHandlerKey);
  RegDeleteKeyW(HKEY_CLASSES_ROOT, kHandlerKey);
  lum_product::RecordCall(self, L"MenuEx.calls", L"DllUnregisterServer");
  return S_OK;
}

extern "C" __declspec(dllexport) HRESULT WINAPI DllGetClassObject(REFCLSID, REFIID, void** out) {
  if (out) *out = nullptr;
  return CLASS_E_CLASSNOTAVAILABLE;
}

extern "C" __declspec(dllexport) HRESULT WINAPI DllCanUnloadNow() { return S_OK; }
