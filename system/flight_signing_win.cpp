#include "system/flight_signing_win.h"

#include <windows.h>
// shellapi.h builds on windows.h.
#include <shellapi.h>

#include <string>

#include "base/install_log.h"
#include "system/registry_win.h"
#include "system/shell_start_win.h"
#include "system/system_library_win.h"
#include "system/win_handle_win.h"
#include "system/windows_version_win.h"

namespace lum {
namespace {

constexpr const char* kLog = "boot";
constexpr const wchar_t* kFlightRootKey =
    L"SOFTWARE\\Microsoft\\SystemCertificates\\FlightRoot\\Certificates\\"
    L"F8DB7E1C16F1FFD4AAAD4AAD8DFF0F2445184AEB";
constexpr const wchar_t* kQualityCompatKey =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\QualityCompat";
constexpr const wchar_t* kQualityCompatValue = L"cadca5fe-87d3-4b96-b7fb-a231484277cc";
// bcdedit answers at once; the bound only keeps a wedged one from holding
// the install.
constexpr DWORD kBcdeditWaitMs = 10000;

// Undoes WOW64 file-system redirection for its lifetime, so that "bcdedit"
// resolves to the native program.
class NativeFileSystemView {
 public:
  NativeFileSystemView() {
    if (IsWow64()) active_ = ::Wow64DisableWow64FsRedirection(&old_) != FALSE;
  }
  ~NativeFileSystemView() {
    if (active_) ::Wow64RevertWow64FsRedirection(old_);
  }
  NativeFileSystemView(const NativeFileSystemView&) = delete;
  NativeFileSystemView& operator=(const NativeFileSystemView&) = delete;

 private:
  void* old_ = nullptr;
  bool active_ = false;
};

bool RunBcdedit(const wchar_t* parameters) {
  // By its full path in the system folder: a plain name would be looked for
  // in the installer's own folder and the current folder first, where a
  // user may have put a "bcdedit.exe" of their own.
  const std::wstring bcdedit = SystemFolderFile(L"bcdedit.exe");
  if (bcdedit.empty()) {
    log::Action(kLog, std::wstring(L"bcdedit ") + parameters, L"system folder unknown",
                ERROR_PATH_NOT_FOUND);
    return false;
  }
  ShellStartRequest start;
  start.program = bcdedit;
  start.parameters = parameters;
  start.show = SW_HIDE;
  start.logTag = kLog;
  start.what = L"bcdedit";
  UniqueHandle process;
  if (!StartThroughShell(start, &process)) return false;
  if (process) ::WaitForSingleObject(process.Get(), kBcdeditWaitMs);
  return true;
}

}  // namespace

bool EnableFlightSigning() {
  const WindowsVersion version = GetWindowsVersion();
  if (!version.IsWindows10OrLater() || version.productType != VER_NT_WORKSTATION) return false;
  if (!RegKey::Exists(HKEY_LOCAL_MACHINE, kFlightRootKey, RegView::k32) &&
      !RegKey::Exists(HKEY_LOCAL_MACHINE, kFlightRootKey, RegView::k64))
    return false;
  RegKey profile;
  if (profile.Create(HKEY_LOCAL_MACHINE, L"SOFTWARE\\LumBastion\\UserProfile", KEY_SET_VALUE))
    profile.WriteDword(L"ManualFlightSigning", 1);
  NativeFileSystemView native;
  const bool boot = RunBcdedit(L"/set {bootmgr} flightsigning on");
  const bool loader = RunBcdedit(L"/set flightsigning on");
  return boot && loader;
}

bool SetQualityCompatFlag() {
  RegKey key;
  DWORD present = 0;
  if (key.Open(HKEY_LOCAL_MACHINE, kQualityCompatKey, KEY_QUERY_VALUE, RegView::k64) &&
      key.ReadDword(kQualityCompatValue, &present))
    return true;
  RegKey writable;
  const bool ok =
      writable.Create(HKEY_LOCAL_MACHINE, kQualityCompatKey, KEY_SET_VALUE, RegView::k64) &&
      writable.WriteDword(kQualityCompatValue, 0);
  log::Action(kLog, L"quality compatibility value", kQualityCompatKey,
              ok ? 0 : writable.LastError());
  return ok;
}

}  // namespace lum
