// Folder creation with all missing levels.
#pragma once
#include <string>

namespace lum {

// Creates `path` and every missing folder above it; true when `path` is a
// folder afterwards (also when it already was). A creation is logged.
bool CreateFolderTree(const std::wstring& path);

// The folder part of a file path (without the trailing backslash); empty
// when the path has no folder part.
std::wstring ParentFolder(const std::wstring& path);

}  // namespace lum
