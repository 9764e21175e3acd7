// Registering and unregistering an in-process COM server module.
#pragma once
#include <string>

namespace lum {

// A 32-bit installer on 64-bit Windows hands the module to the native
// "%windir%\system32\regsvr32.exe" (hidden, not waited for: true when it
// started). Otherwise the module is loaded here and its DllRegisterServer or
// DllUnregisterServer is called: true when that answers a success HRESULT.
bool RegisterComServer(const std::wstring& modulePath, bool registerIt);

}  // namespace lum
