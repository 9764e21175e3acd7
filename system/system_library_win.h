// Libraries and programs of Windows itself, found in the system folder as the
// system names it (GetSystemDirectory), never through the DLL search path or
// an environment variable: the installer's own folder, the current folder
// and PATH may all belong to the user who started an elevated installer.
#pragma once
#include <windows.h>

#include <string>

namespace lum {

// "<system folder>\<name>"; empty when the system folder cannot be read.
std::wstring SystemFolderFile(const std::wstring& name);

// Loads `name` from the system folder by its full path. Windows XP keeps
// some libraries (GDI+) only side by side, never in the system folder: there,
// and only when the system folder has no such file, the plain name is tried
// with the current folder taken out of the search. nullptr (GetLastError)
// when not loaded; the caller frees the module.
HMODULE LoadSystemLibrary(const wchar_t* name);

}  // namespace lum
