// The base module calls behind base_module_win.h, on an explicit binding so
// that tests can use a binding of their own.
#pragma once
#include <string>

#include "vendor/lum_dll_helper_win.h"

namespace lum {

using BaseModuleBinding = CLumPublicDLLHelper<CLumBaseExportFuncs>;

// Entry 10 when the module has it, else the file-property object's rule.
// Non-zero when trusted; *kind is -1 unless trusted.
int VerifyFileWith(const BaseModuleBinding& module, const std::wstring& path, int* kind);

// The file-property object's verdict alone (the fallback of VerifyFileWith).
int VerifyFileByProperties(const BaseModuleBinding& module, const std::wstring& path, int* kind);

// The identity object's text; empty when the module or object is missing.
std::wstring ReadIdentityText(const BaseModuleBinding& module);

}  // namespace lum
