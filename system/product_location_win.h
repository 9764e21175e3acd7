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

// A first install that began and has not finished leaves this mark, so
// that the run after it (the App Paths record may be written already) is
// still a first install and leaves what an uninterrupted one leaves.
// HKLM "SOFTWARE\LumBastion" value "FirstInstallUnfinished" (REG_DWORD 1).
bool FirstInstallUnfinished();
// Sets (`unfinished`) or removes the mark; logged. False when that failed.
bool MarkFirstInstallUnfinished(bool unfinished);

// Program Files (the x86 one under WOW64) + "\Lum\Bastion".
std::wstring DefaultInstallDir();

// Dotted version of "<folder>\ZVVer.dll", empty when it has none.
std::wstring InstalledProductVersion(const std::wstring& folder);

}  // namespace lum
