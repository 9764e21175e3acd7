#include "vendor/vendor_placeholders_win.h"

#include "base/not_built.h"

namespace lum {

bool OpenLinkWithLoweredRights(const std::wstring&) {
  LogNotBuilt(L"utility module link opening", "startup");
  return false;
}

bool UnloadCommonModule() { return false; }  // never loaded by this build
int CommonModuleEdition() { return 0; }
int BaseModuleEdition() { return 0; }

}  // namespace lum
