// The per-folder uninstall marker: a RunOnce value that the product's
// uninstaller leaves behind to finish removing one install folder at the
// next restart. Its name ties it to the folder's path.
#pragma once
#include <string>

namespace lum {

constexpr const wchar_t* kUninstallMarkerBase = L"Lumsafeuninst";

// "Lumsafeuninst_" + lower-case hex MD5 of the folder path's UTF-16LE bytes
// (no terminator). The path is hashed exactly as given.
std::wstring UninstallMarkerName(const std::wstring& installFolder);

}  // namespace lum
