#include "system/platform_support_win.h"

#include <windows.h>

#include <string>

#include "system/file_ops_win.h"
#include "system/platform_support.h"
#include "system/registry_win.h"
#include "system/windows_version_win.h"

namespace lum {

bool Is64BitOs() {
  static const bool is64 = IsNativeX64OrIa64();
  return is64;
}

bool DriverPlatformSupported() {
  static const bool supported = [] {
    wchar_t system[MAX_PATH + 1] = {};
    const UINT length = ::GetSystemDirectoryW(system, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return false;
    FileVersion version;
    if (!ReadFileVersion(std::wstring(system) + L"\\kernel32.dll", &version)) return false;
    return DriverPlatformRule(Is64BitOs(), version.major, version.minor);
  }();
  return supported;
}

bool SandboxPlatformSupported() {
  static const bool supported = [] {
    const WindowsVersion version = GetWindowsVersion();
    std::wstring servicePack;
    RegKey key;
    if (key.Open(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion",
                 KEY_QUERY_VALUE))
      key.ReadString(L"CSDVersion", &servicePack);
    return SandboxPlatformRule(Is64BitOs(), version.major, version.minor, servicePack);
  }();
  return supported;
}

}  // namespace lum
