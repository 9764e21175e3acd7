#include "base/system_dll_win.h"

namespace lum {

namespace {

#ifndef LOAD_LIBRARY_SEARCH_SYSTEM32
#define LOAD_LIBRARY_SEARCH_SYSTEM32 0x00000800
#endif

FARPROC Kernel32Export(const char* function) {
  return ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), function);
}

// The LOAD_LIBRARY_SEARCH_* flags came with the same update as AddDllDirectory;
// where it is missing, LoadLibraryEx refuses them.
bool SearchFlagsSupported() {
  static const bool supported = Kernel32Export("AddDllDirectory") != nullptr;
  return supported;
}

}  // namespace

bool RestrictDllSearchToSystemFolder() {
  using SetDefaultFn = BOOL(WINAPI*)(DWORD);
  if (auto setDefault = reinterpret_cast<SetDefaultFn>(
          reinterpret_cast<void*>(Kernel32Export("SetDefaultDllDirectories"))))
    if (setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32)) return true;
  using SetDirectoryFn = BOOL(WINAPI*)(const wchar_t*);
  if (auto setDirectory = reinterpret_cast<SetDirectoryFn>(
          reinterpret_cast<void*>(Kernel32Export("SetDllDirectoryW"))))
    setDirectory(L"");
  return false;
}

std::wstring SystemFolderPath(const std::wstring& name) {
  wchar_t folder[MAX_PATH + 1] = {};
  const UINT length = ::GetSystemDirectoryW(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return std::wstring();
  return std::wstring(folder, length) + L"\\" + name;
}

HMODULE LoadSystemDll(const wchar_t* name) {
  const std::wstring path = SystemFolderPath(name);
  if (path.empty()) {
    ::SetLastError(ERROR_PATH_NOT_FOUND);
    return nullptr;
  }
  // Where the search flags exist, the library's own imports come from the
  // system folder alone; elsewhere its own folder (the same) is searched first.
  return ::LoadLibraryExW(
      path.c_str(), nullptr,
      SearchFlagsSupported() ? LOAD_LIBRARY_SEARCH_SYSTEM32 : LOAD_WITH_ALTERED_SEARCH_PATH);
}

HMODULE LoadManifestDll(const wchar_t* name) {
  ACTCTX_SECTION_KEYED_DATA data = {};
  data.cbSize = sizeof(data);
  if (::FindActCtxSectionStringW(0, nullptr, ACTIVATION_CONTEXT_SECTION_DLL_REDIRECTION, name,
                                 &data))
    return ::LoadLibraryW(name);
  return LoadSystemDll(name);
}

FARPROC SystemDllExport(const wchar_t* dll, const char* function) {
  // Loaded once per call site's first use and never freed: the reference
  // count keeps it whatever other code loads and frees.
  HMODULE module = ::GetModuleHandleW(SystemFolderPath(dll).c_str());
  if (!module) module = LoadSystemDll(dll);
  return module ? ::GetProcAddress(module, function) : nullptr;
}

}  // namespace lum
