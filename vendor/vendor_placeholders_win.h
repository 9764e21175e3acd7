// Calls on the product's common module and the base module's edition. Not
// built yet: they answer as a module that is not loaded.
#pragma once

namespace lum {

// Unloads the product's common module when it is loaded, so its file can be replaced.
bool UnloadCommonModule();
// Edition reported by the product's common module; 0 when unavailable.
int CommonModuleEdition();
// Edition reported by the vendor base module; 0 when unavailable.
int BaseModuleEdition();

}  // namespace lum
