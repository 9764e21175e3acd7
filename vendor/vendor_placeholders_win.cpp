#include "vendor/vendor_placeholders_win.h"

namespace lum {

bool UnloadCommonModule() { return false; }  // never loaded by this build
int CommonModuleEdition() { return 0; }
int BaseModuleEdition() { return 0; }

}  // namespace lum
