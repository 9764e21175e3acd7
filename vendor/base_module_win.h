// The vendor base module "Lumbase.dll", carried in resource FILE 504 and
// bound once per process.
#pragma once
#include <string>

namespace lum {

// Loads the module from `path` (once per process; later calls return the
// cached answer) and binds its exports.
bool LoadBaseModule(const std::wstring& path);
bool BaseModuleLoaded();

// Base entry 10: non-zero for a trusted vendor image; `kind` starts at -1 and
// tells what vouched for the file. Untrusted when the module is not loaded.
int VerifyFile(const std::wstring& path, int* kind);

// Base entry 11: the installed product's edition; 0 when the module or the
// entry is missing.
int BaseModuleEdition();

// The identity object's text (read once and cached; empty when unavailable).
std::wstring BaseIdentityText();

}  // namespace lum
