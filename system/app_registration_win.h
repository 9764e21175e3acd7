// The registry records that make the installed product findable: App Paths
// (whose "Path" value is how later runs know the product is installed), the
// Run entry of the tray program, and the start-menu record the uninstaller
// reads. Each write is logged with its key and result.
#pragma once
#include <string>

namespace lum {

constexpr const wchar_t* kAppPathsRoot = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";
// Every program's uninstall record lives below this key (HKLM and HKCU).
constexpr const wchar_t* kUninstallRoot = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
constexpr const wchar_t* kRunKey = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const wchar_t* kTrayRunValue = L"ZVSafeTray";
constexpr const wchar_t* kShortcutRecordKey = L"SOFTWARE\\LumBastion\\Shortcut";
constexpr const wchar_t* kActiveProtectionKey = L"software\\LumBastion\\ActiveProtection";
constexpr const wchar_t* kMainProgram = L"ZVSafeMain.exe";
constexpr const wchar_t* kLegacyAppPathName = L"Lumsafe.exe";

// "LumTray.exe" on Windows 8, 8.1 and 10 workstations, else "ZVSafeTray.exe".
std::wstring TrayProgramName();
// HKLM Run "ZVSafeTray" = "\"<folder>\safemon\<tray>\" /start" (32-bit view).
// Written on a first install, and on a reinstall only while the user keeps
// the tray's autostart on ("TrayAutoRun" = 1). True when written.
bool WriteTrayRunEntry(const std::wstring& installFolder, bool productInstalled);
// App Paths "<file name of relativePath>": default = full path, "Path" =
// the install folder. Skipped (false) when either is empty.
bool WriteAppPath(const std::wstring& installFolder, const std::wstring& relativePath);
// App Paths "Lumsafe.exe" (the older name) in the 32-bit view.
bool WriteLegacyAppPath(const std::wstring& installFolder);
// HKLM "SOFTWARE\LumBastion\Shortcut" "StartMenu" = the start-menu folder text.
bool WriteStartMenuRecord(const std::wstring& menuFolder);

}  // namespace lum
