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

// Loads `name` from the system folder by its full path (base/system_dll_win.h).
// Windows XP keeps some libraries (GDI+) only side by side, never in the
// system folder: there, and only when the system folder has no such file, the
// newest copy of the side-by-side store is loaded by its full path. Never by
// the bare name: on XP that searches the installer's own folder first.
// nullptr (GetLastError) when not loaded; the caller frees the module.
HMODULE LoadSystemLibrary(const wchar_t* name);

}  // namespace lum
