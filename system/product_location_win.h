// Where the installed product is: its App Paths record (how later runs know
// the product is installed), the default install folder and the version of
// its version module.
#pragma once
#include <string>

namespace lum {

// HKLM App Paths entry of the product's main program (32-bit view).
constexpr const wchar_t* kMainProgramAppPathsKey =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\ZVSafeMain.exe";

// The product's folder from App Paths when it exists (no trailing
// backslash is added or removed), else empty.
std::wstring ReadProductFolder();

// Program Files (the x86 one under WOW64) + "\Lum\Bastion".
std::wstring DefaultInstallDir();

// Dotted version of "<folder>\ZVVer.dll", empty when it has none.
std::wstring InstalledProductVersion(const std::wstring& folder);

}  // namespace lum
