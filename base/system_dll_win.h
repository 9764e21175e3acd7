// Libraries of Windows itself, taken from the system folder and nowhere else.
// An elevated installer is started from a download folder, and its current
// folder and PATH belong to whoever started it: a DLL named by its bare name
// may be found there before the system's own. Only the DLLs that Windows maps
// from the system folder whatever the search path says (tools/xp_exports.txt,
// "system-only") are imported at load time; every other one is loaded here,
// by its full path, with its own imports resolved from the system folder too.
#pragma once
#include <windows.h>

#include <string>

namespace lum {

// Takes the program's folder, the current folder and PATH out of the search of
// every later load by name: SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32)
// where Windows has it (Windows 8 and later; Vista and 7 with update 2533623).
// Older Windows only lets the current folder go (SetDllDirectoryW(L"")): the
// program's folder stays first there, so nothing of ours names a DLL bare.
// True when only the system folder is searched from now on. Called first thing
// in the installer's entry, before anything can load a DLL by name.
bool RestrictDllSearchToSystemFolder();

// "<system folder>\<name>"; empty when the system folder cannot be read.
std::wstring SystemFolderPath(const std::wstring& name);

// Loads the system folder's `name` by its full path, the library's own imports
// from the system folder too. nullptr (GetLastError) when not loaded; the
// caller frees the module.
HMODULE LoadSystemDll(const wchar_t* name);

// Loads `name` as the program's manifest names it (the common controls of
// version 6): by its bare name only when the process's activation context
// redirects that name into the side-by-side store, which the loader consults
// before any folder; otherwise the system folder's copy (LoadSystemDll).
HMODULE LoadManifestDll(const wchar_t* name);

// The export `function` of the system folder's `dll`, which is loaded on first
// use and kept for the life of the process. nullptr when this Windows has no
// such library or function: callers take their older-Windows way then.
FARPROC SystemDllExport(const wchar_t* dll, const char* function);

template <typename Fn>
Fn SystemExport(const wchar_t* dll, const char* function) {
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(SystemDllExport(dll, function)));
}

}  // namespace lum
