// Registration of an in-process COM server module (the shell's context-menu
// module). A module of the other bitness cannot be loaded here, so under
// WOW64 the system's regsvr32 does it; otherwise the module is called in
// process. The result is logged.
#pragma once
#include <string>

namespace lum {

// Under WOW64: true when regsvr32 was started (it is not waited for).
// Otherwise: true when "DllRegisterServer" / "DllUnregisterServer" answered a
// non-negative code.
bool RegisterComServer(const std::wstring& modulePath, bool registerIt);

}  // namespace lum
