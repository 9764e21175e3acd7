// Administrator rights: the installer writes under Program Files and HKLM and
// installs services, so a run without them restarts itself through UAC.
#include <windows.h>
// These headers build on windows.h.
#include <shellapi.h>

#include "app/startup_win.h"
#include "base/install_log.h"
#include "base/text.h"
#include "system/file_ops_win.h"
#include "system/registry_win.h"
#include "system/shell_start_win.h"
#include "system/windows_version_win.h"
#include "ui/msg_box_win.h"

namespace lum {

bool ElevationCheckSkipped(bool tokenIsAdmin) {
  const WindowsVersion version = GetWindowsVersion();
  return tokenIsAdmin && version.major == 5 && version.minor == 2 && IsNativeX64OrIa64() &&
         version.productType == VER_NT_WORKSTATION;
}

bool NeedsElevation(bool tokenIsAdmin) {
  const WindowsVersion version = GetWindowsVersion();
  if (version.major == 5 && (version.minor == 1 || version.minor == 2)) return !tokenIsAdmin;
  return !tokenIsAdmin || !TokenIsElevated();
}

namespace {

bool UacEnabled() {
  RegKey key;
  DWORD value = 0;
  return key.Open(HKEY_LOCAL_MACHINE,
                  L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System",
                  KEY_QUERY_VALUE) &&
         key.ReadDword(L"EnableLUA", &value) && value == 1;
}

void ShowFailure(const UacTexts& texts) {
  SetButtonCaptions(texts.title, {});
  ShowMessageBox(nullptr, PopLogoId(), texts.failure, MB_OK, IDOK);
}

}  // namespace

bool RelaunchElevated(const UacTexts& texts) {
  const std::wstring commandLine = ::GetCommandLineW();
  if (ContainsNoCase(commandLine, kElevatedSwitch)) {
    // The elevated copy is still not elevated: say so instead of looping.
    log::Note("startup", L"elevated run still lacks administrator rights");
    ShowFailure(texts);
    return false;
  }
  if (!TokenInAdministratorsGroup() && !UacEnabled()) {
    log::Note("startup", L"elevation not possible: not an administrator and UAC is off");
    ShowFailure(texts);
    return false;
  }
  const std::wstring ownPath = OwnModulePath();
  const std::wstring parameters = commandLine + L" " + kElevatedSwitch;
  ShellStartRequest start;
  start.verb = L"runas";
  start.program = ownPath;
  start.parameters = parameters;
  start.logTag = "startup";
  start.what = L"start elevated copy";
  return StartThroughShell(start);
}

}  // namespace lum
