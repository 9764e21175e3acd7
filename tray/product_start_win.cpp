#include "tray/product_start_win.h"

#include <windows.h>
#include <shellapi.h>

#include "base/install_log.h"
#include "system/user_rights_start_win.h"
#include "system/windows_version_win.h"
#include "tray/launch_rules.h"
#include "tray/session_processes_win.h"
#include "tray/tray_link_win.h"

namespace lum {

namespace {

constexpr const char* kLog = "install";
constexpr wchar_t kMainProgram[] = L"ZVSafeMain.exe";
constexpr wchar_t kInstallSwitch[] = L"/install";
constexpr int kLookSeconds = 5;

DWORD OwnSession() {
  DWORD session = 0;
  if (!::ProcessIdToSessionId(::GetCurrentProcessId(), &session))
    session = ::WTSGetActiveConsoleSessionId();
  return session;
}

}  // namespace

bool StartInstalledProduct(const std::wstring& installDir) {
  const std::wstring program = installDir + L"\\" + kMainProgram;
  const DWORD session = OwnSession();
  const int launched = tray::LaunchInUserSession(session, program, kInstallSwitch);
  if (launched == tray::kTraySuccess) {
    for (int second = 0; second < kLookSeconds; ++second) {
      if (tray::ProcessRunsInSession(kMainProgram, session)) return true;
      ::Sleep(1000);
    }
  }
  if (GetWindowsVersion().AtLeast(6, 0))
    return LaunchAtMediumIntegrity(tray::LaunchCommandLine(program, kInstallSwitch), installDir,
                                   kLog);
  HINSTANCE opened = ::ShellExecuteW(nullptr, L"open", program.c_str(), kInstallSwitch,
                                     installDir.c_str(), SW_SHOWNORMAL);
  const bool ok = reinterpret_cast<INT_PTR>(opened) > 32;
  log::Action(kLog, L"start product (shell)", program,
              ok ? 0 : static_cast<long>(reinterpret_cast<INT_PTR>(opened)));
  return ok;
}

}  // namespace lum
