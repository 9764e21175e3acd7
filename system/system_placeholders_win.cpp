#include "system/system_placeholders_win.h"

#include <windows.h>

#include "base/not_built.h"

namespace lum {

namespace {
constexpr const char* kInstall = "install";
}  // namespace

bool RestartWindows() {
  LogNotBuilt(L"restart of Windows", "startup");
  return false;
}
long CreateShortcuts(const std::wstring&) {
  LogNotBuilt(L"shortcuts and uninstall entry", kInstall);
  return ERROR_CALL_NOT_IMPLEMENTED;
}
bool RegisterContextMenu(const std::wstring&) {
  LogNotBuilt(L"context-menu module", kInstall);
  return false;
}

}  // namespace lum
