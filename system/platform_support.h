// Which of the product's kernel drivers and sandbox a Windows can carry,
// decided from plain facts so the rules are tested natively.
#pragma once
#include <string>

namespace lum {

// From the native processor width and kernel32.dll's file version: a 64-bit
// Windows must be newer than 6.0 (Windows 7 on); a 32-bit one anything but 5.2.
bool DriverPlatformRule(bool is64Bit, unsigned major, unsigned minor);

// The sandbox needs a 32-bit Windows or a 64-bit one from 6.1 on, and XP or
// 2003 with at least Service Pack 2 (any 6.x and later qualifies).
bool SandboxPlatformRule(bool is64Bit, unsigned major, unsigned minor,
                         const std::wstring& servicePackText);

// The install folder joined with a module's relative path, with a backslash
// between them when the folder lacks one. Empty when the folder is empty or
// the joined path with its terminator would not fit in 260 characters.
std::wstring JoinModulePath(const std::wstring& folder, const std::wstring& relative);

}  // namespace lum
