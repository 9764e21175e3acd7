// What Windows this is and what the process token may do. The version comes
// from RtlGetVersion, which is not subject to the compatibility shims that
// make GetVersionEx lie to unmanifested programs.
#pragma once
#include <windows.h>

#include <string>

namespace lum {

struct WindowsVersion {
  DWORD major = 0, minor = 0, build = 0;
  WORD productType = 0;  // VER_NT_WORKSTATION, ...
  bool AtLeast(DWORD maj, DWORD min) const { return major > maj || (major == maj && minor >= min); }
  bool IsXp() const { return major == 5 && minor == 1; }
  bool IsWindows8OrLater() const { return AtLeast(6, 2); }
  bool IsWindows10OrLater() const { return major >= 10; }
};

WindowsVersion GetWindowsVersion();  // read once, cached
bool IsWow64();                      // a 32-bit process on a 64-bit Windows
// A 64-bit Windows: this process is 64-bit, or a 32-bit one under WOW64. The
// decisions that hang on the machine's bitness ask this, so that a 64-bit
// build of the installer decides as the 32-bit one does on the same machine.
bool Is64BitWindows();
bool IsNativeX64OrIa64();            // the processor of the machine, not of the process
// True when the running Windows is the dotted version ("10.0.16299") or newer.
bool IsAtLeastBuild(const std::wstring& dotted);
// "%d.%d-%s": major, minor, "x64" or "x86".
std::wstring OsText();

bool TokenIsAdmin();                // IsUserAnAdmin
bool TokenIsElevated();             // TokenElevation; false when it cannot be read
bool TokenInAdministratorsGroup();  // CheckTokenMembership with BUILTIN\Administrators
// The process user's SID as "S-1-5-21-..."; empty when it cannot be read.
std::wstring CurrentUserSidString();

}  // namespace lum
