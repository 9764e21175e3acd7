#include "system/app_registration_win.h"

#include <windows.h>

#include "base/install_log.h"
#include "system/file_ops_win.h"
#include "system/registry_win.h"
#include "system/windows_version_win.h"

namespace lum {

namespace {

constexpr const char* kLog = "register";

std::wstring Folder(const std::wstring& installFolder) {
  std::wstring folder = installFolder;
  while (!folder.empty() && (folder.back() == L'\\' || folder.back() == L'/')) folder.pop_back();
  return folder;
}

bool WritePathPair(const std::wstring& key, RegView view, const std::wstring& program,
                   const std::wstring& folder) {
  RegKey reg;
  bool ok = reg.Create(HKEY_LOCAL_MACHINE, key, KEY_SET_VALUE, view) &&
            reg.WriteString(L"", program) && reg.WriteString(L"Path", folder);
  log::Action(kLog, L"write App Paths (" + program + L", " + folder + L")", L"HKLM\\" + key,
              ok ? 0 : reg.LastError());
  return ok;
}

}  // namespace

std::wstring TrayProgramName() {
  const WindowsVersion v = GetWindowsVersion();
  const bool modern = (v.major == 6 && (v.minor == 2 || v.minor == 3)) || v.major == 10;
  return modern && v.productType == VER_NT_WORKSTATION ? L"LumTray.exe" : L"ZVSafeTray.exe";
}

bool WriteTrayRunEntry(const std::wstring& installFolder, bool productInstalled) {
  if (productInstalled) {
    RegKey settings;
    DWORD autoRun = 0;
    if (!settings.Open(HKEY_LOCAL_MACHINE, kActiveProtectionKey, KEY_QUERY_VALUE, RegView::k32) ||
        !settings.ReadDword(L"TrayAutoRun", &autoRun) || autoRun != 1) {
      log::Note(kLog, L"tray autostart left off (TrayAutoRun is not 1)");
      return false;
    }
  }
  const std::wstring command =
      L"\"" + Folder(installFolder) + L"\\safemon\\" + TrayProgramName() + L"\" /start";
  RegKey run;
  const bool ok = run.Create(HKEY_LOCAL_MACHINE, kRunKey, KEY_SET_VALUE, RegView::k32) &&
                  run.WriteString(kTrayRunValue, command);
  log::Action(kLog, L"write Run entry " + command, std::wstring(L"HKLM\\") + kRunKey,
              ok ? 0 : run.LastError());
  return ok;
}

bool WriteAppPath(const std::wstring& installFolder, const std::wstring& relativePath) {
  const std::wstring folder = Folder(installFolder);
  if (folder.empty() || relativePath.empty()) return false;
  return WritePathPair(kAppPathsRoot + FileNamePart(relativePath), RegView::kDefault,
                       folder + L"\\" + relativePath, folder);
}

bool WriteLegacyAppPath(const std::wstring& installFolder) {
  const std::wstring folder = Folder(installFolder);
  if (folder.empty()) return false;
  return WritePathPair(std::wstring(kAppPathsRoot) + kLegacyAppPathName, RegView::k32,
                       folder + L"\\" + kMainProgram, folder);
}

bool WriteStartMenuRecord(const std::wstring& menuFolder) {
  RegKey key;
  const bool ok = key.Create(HKEY_LOCAL_MACHINE, kShortcutRecordKey, KEY_SET_VALUE) &&
                  key.WriteString(L"StartMenu", menuFolder);
  log::Action(kLog, L"write start-menu record " + menuFolder,
              std::wstring(L"HKLM\\") + kShortcutRecordKey, ok ? 0 : key.LastError());
  return ok;
}

}  // namespace lum
