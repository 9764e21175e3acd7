// The product's registry defaults, written after its files are in place:
// App Paths and the Run entry first, then the product settings, last the
// start-menu record. Values that keep a user's choice are written only when
// absent, so a reinstall keeps them. Every write is logged.
#pragma once
#include <string>

#include "install/cloud_default.h"
#include "install/shell_win.h"
#include "session/session_settings.h"

namespace lum {

constexpr const wchar_t* kProductKey = L"SOFTWARE\\LumBastion";
constexpr const wchar_t* kUserProfileKey = L"SOFTWARE\\LumBastion\\UserProfile";
constexpr const wchar_t* kExperienceKey = L"SOFTWARE\\LumBastion\\Experience";
constexpr const wchar_t* kProtectionKey = L"SOFTWARE\\LumBastion\\ActiveProtection";
constexpr const wchar_t* kFilemonKey = L"SOFTWARE\\LumSafe\\filemon";
constexpr const wchar_t* kCoopKey = L"SOFTWARE\\LumSafe\\Coop";
constexpr const wchar_t* kDesktopLiteKey = L"Software\\Lumdesktoplite\\Config";
constexpr const wchar_t* kThemeKey = L"Software\\LumBastion\\Theme";

// Sets or clears `bits` of HKCU "software\LumBastion\Experience" "PromptFlags"
// and records the time of the change ("PromptFlagsTime", seconds since 1970).
bool ChangePromptFlags(unsigned long setBits, unsigned long clearBits);

// Cloud-analysis default decided by the silent run before the install run
// starts; kUnset leaves the product's own value alone.
extern CloudAnalysisDefault cloudAnalysisDefault;

// Runs the whole step; `notifySafeMon` is set when the component scan leaves
// entries (the real-time monitor is told at the end of the run).
// `shell` runs the action-script section of protection mode 254.
void WriteProductRegistry(const std::wstring& installDir, const SessionSettings& session,
                          CShell& shell, bool* notifySafeMon);

}  // namespace lum
