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

// "<Windows folder>\Temp\", the Windows folder as the system names it
// (GetSystemWindowsDirectory, never %windir% or %TEMP%); empty when it
// cannot be read. Standard users may add entries there but neither rename
// nor delete those of others: the elevated run's folders for code live there.
std::wstring WindowsTempFolder();

}  // namespace lum
