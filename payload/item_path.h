// Rules for the paths and attributes that an archive hands out for its items.
// Portable: the archive library passes item paths through unchecked, so the
// extraction decides here, before any file is created, whether an item stays
// inside the output folder.
#pragma once
#include <cstdint>
#include <string>

namespace lum {

// Turns an item path from an archive into a path relative to the output
// folder: '/' becomes '\', empty and "." components are dropped. False (and
// `out` cleared) when the item would land outside the folder or on a device:
// an absolute, UNC or device path, a drive or stream (any ':'), a ".."
// component (or any component of only dots and spaces, which Windows folds
// into one), a reserved device name (CON, NUL, COM1, ...), a character that
// Windows refuses in names, or nothing left at all.
bool SanitizeItemPath(const std::wstring& path, std::wstring& out);

// Keeps the attribute bits that SetFileAttributes accepts (read-only, hidden,
// system, archive, normal, temporary, offline, not-indexed). Archives made on
// Linux carry a Unix mode in the high 16 bits, and the folder bit is the
// file system's business, not the caller's.
uint32_t MaskItemAttributes(uint32_t attributes);

}  // namespace lum
