#include "tray/tray_placeholders_win.h"

#include "base/not_built.h"

namespace lum {

bool StartTrayLink() {
  LogNotBuilt(L"tray service link", "startup");
  return false;
}

void StopTrayLink() {}

bool StartInstalledProduct(const std::wstring&) {
  LogNotBuilt(L"product start as the interactive user", "install");
  return false;
}

}  // namespace lum
