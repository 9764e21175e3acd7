#include "tray/product_start_win.h"

#include <windows.h>
#include <shellapi.h>

#include "base/install_log.h"
#include "tray/launch_rules.h"
#include "tray/session_processes_win.h"
#include "tray/tray_link_win.h"

namespace lum {

namespace {

constexpr const char* kLog = "install";
constexpr wchar_t kMainProgram[] = L"ZVSafeMain.exe";
constexpr wchar_t kInstallSwitch[] = L"/install";
constexpr int kLookSeconds = 5;

}  // namespace

bool StartInstalledProduct(const std::wstring& installDir) {
  const std::wstring program = installDir + L"\\" + kMainProgram;
  const DWORD session = ::WTSGetActiveConsoleSessionId();
  const int launched = tray::LaunchInUserSession(session, program, kInstallSwitch);
  if (launched == tray::kTraySuccess) {
    for (int second = 0; second < kLookSeconds; ++second) {
      if (tray::ProcessRunsInSession(kMainProgram, session)) return true;
      ::Sleep(1000);
    }
  }
  HINSTANCE opened = ::ShellExecuteW(nullptr, L"open", program.c_str(), kInstallSwitch, nullptr,
                                     SW_SHOWNORMAL);
  const bool ok = reinterpret_cast<INT_PTR>(opened) > 32;
  log::Action(kLog, L"start product (shell)", program,
              ok ? 0 : static_cast<long>(reinterpret_cast<INT_PTR>(opened)));
  return ok;
}

}  // namespace lum
