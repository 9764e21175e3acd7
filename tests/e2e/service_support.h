// What the service tests read: the service manager's view of a service, the
// stand-in product's call record and switches (product/apps/handshake.h),
// and an installer run whose hidden window a test can talk to meanwhile.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "system/registry_win.h"
#include "system/service_control_win.h"
#include "system/win_handle_win.h"
#include "tests/e2e/e2e_support.h"

namespace lum {
namespace e2e {

constexpr const wchar_t* kStandInKey = L"SOFTWARE\\LumBastion\\StandIn";
constexpr const wchar_t* kCallsKey = L"SOFTWARE\\LumBastion\\StandIn\\Calls";

// The arguments recorded for `who` ("-;" per call without argument), or "".
inline std::wstring Calls(const std::wstring& who) {
  const std::wstring calls = RegString(HKEY_LOCAL_MACHINE, kCallsKey, who);
  return calls == L"<none>" ? std::wstring() : calls;
}
inline void ForgetCalls() { RegKey::DeleteTree(HKEY_LOCAL_MACHINE, kCallsKey); }

inline bool SetStandInSwitch(const wchar_t* name, DWORD value) {
  RegKey key;
  return key.Create(HKEY_LOCAL_MACHINE, kStandInKey, KEY_SET_VALUE) && key.WriteDword(name, value);
}
inline void ClearStandInSwitch(const wchar_t* name) {
  RegKey key;
  if (key.Open(HKEY_LOCAL_MACHINE, kStandInKey, KEY_SET_VALUE)) key.DeleteValue(name);
}

// SERVICE_RUNNING etc.; 0 when the service manager does not know it.
inline DWORD ServiceState(const wchar_t* name) {
  UniqueScHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
  UniqueScHandle service(manager ? OpenServiceW(manager.Get(), name, SERVICE_QUERY_STATUS)
                                 : nullptr);
  SERVICE_STATUS status = {};
  if (!service || !QueryServiceStatus(service.Get(), &status)) return 0;
  return status.dwCurrentState;
}

inline bool MutexExists(const wchar_t* name) {
  UniqueHandle mutex(OpenMutexW(SYNCHRONIZE, FALSE, name));
  return mutex.Valid();
}

// An installer process started without waiting, so that a test can reach
// its silent handler window while it runs.
class RunningInstaller {
 public:
  RunningInstaller(const std::wstring& exe, const std::wstring& args) {
    std::wstring line = L"\"" + exe + L"\" " + args;
    std::vector<wchar_t> buffer(line.begin(), line.end());
    buffer.push_back(L'\0');
    STARTUPINFOW startup = {sizeof(startup)};
    PROCESS_INFORMATION info = {};
    if (CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                       &startup, &info)) {
      process_.Reset(info.hProcess);
      CloseHandle(info.hThread);
      pid_ = info.dwProcessId;
    }
  }
  // The hidden top-level window of the run (waits up to `ms` for it).
  HWND SilentWindow(DWORD ms) const {
    for (DWORD waited = 0; waited < ms; waited += 100) {
      Search search{pid_, nullptr};
      EnumWindows(&RunningInstaller::Match, reinterpret_cast<LPARAM>(&search));
      if (search.found) return search.found;
      if (WaitForSingleObject(process_.Get(), 100) != WAIT_TIMEOUT) return nullptr;
    }
    return nullptr;
  }
  // Exit code, or -1 when it did not end within `ms` (it is then ended).
  int Wait(DWORD ms) {
    if (WaitForSingleObject(process_.Get(), ms) != WAIT_OBJECT_0) {
      TerminateProcess(process_.Get(), 1);
      return -1;
    }
    DWORD code = 0;
    GetExitCodeProcess(process_.Get(), &code);
    return static_cast<int>(code);
  }
  bool Started() const { return process_.Valid(); }

 private:
  struct Search {
    DWORD pid;
    HWND found;
  };
  static BOOL CALLBACK Match(HWND window, LPARAM context) {
    auto* search = reinterpret_cast<Search*>(context);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    wchar_t cls[32] = {};
    GetClassNameW(window, cls, 31);
    if (pid != search->pid || lstrcmpiW(cls, L"Static") != 0) return TRUE;
    search->found = window;
    return FALSE;
  }
  UniqueHandle process_;
  DWORD pid_ = 0;
};

}  // namespace e2e
}  // namespace lum
