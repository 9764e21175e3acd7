// Calls on the product's utility and common modules and the base module's edition. Not
// built yet: they answer as a module that is not loaded.
#pragma once
#include <string>

namespace lum {

// Opens `url` through the product's utility module with lowered rights.
bool OpenLinkWithLoweredRights(const std::wstring& url);

// Unloads the product's common module when it is loaded, so its file can be replaced.
bool UnloadCommonModule();
// Edition reported by the product's common module; 0 when unavailable.
int CommonModuleEdition();
// Edition reported by the vendor base module; 0 when unavailable.
int BaseModuleEdition();

}  // namespace lum
