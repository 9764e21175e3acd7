// The one way a call into a component that this build does not carry yet
// says so in the log. The README's "Not built yet" list names every such call.
#pragma once
#include <string>

#include "base/install_log.h"

namespace lum {

inline void LogNotBuilt(const wchar_t* component, const char* subsystem) {
  log::Note(subsystem, std::wstring(component) + L": not available in this build");
}

}  // namespace lum
