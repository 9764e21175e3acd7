#include "system/com_server_win.h"

#include <windows.h>


#include "base/install_log.h"
#include "system/process_start_win.h"
#include "system/win_handle_win.h"
#include "system/windows_version_win.h"

namespace lum {

namespace {

constexpr const char* kLog = "register";

// The system folder as the system reports it, never from the environment,
// which the user who started an elevated installer controls.
std::wstring Regsvr32Path() {
  wchar_t folder[MAX_PATH + 1] = {};
  const UINT length = ::GetSystemDirectoryW(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return std::wstring();
  return std::wstring(folder) + L"\\regsvr32.exe";
}

bool StartRegsvr32(const std::wstring& modulePath, bool registerIt) {
  const std::wstring regsvr32 = Regsvr32Path();
  if (regsvr32.empty()) return false;
  std::wstring line =
      L"\"" + regsvr32 + (registerIt ? L"\" /s \"" : L"\" /s /u \"") + modulePath + L"\"";
  PROCESS_INFORMATION info = {};
  const bool started = StartProcess(regsvr32, line, L"", SW_HIDE, 0, &info);
  log::Action(kLog,
              std::wstring(registerIt ? L"start registration: " : L"start unregistration: ") + line,
              modulePath, started ? 0 : static_cast<long>(::GetLastError()));
  // Not waited for: regsvr32 finishes on its own.
  UniqueHandle process(info.hProcess), thread(info.hThread);
  return started;
}

bool CallInProcess(const std::wstring& modulePath, bool registerIt) {
  OleInit ole;
  const UINT oldMode = ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  UniqueModule module(::LoadLibraryExW(modulePath.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
  // A module that did not load reports its load error; a missing entry or a
  // failing one reports its code.
  long code = module ? 0 : static_cast<long>(::GetLastError());
  bool ok = false;
  if (module) {
    using Entry = HRESULT(STDAPICALLTYPE*)();
    auto entry = reinterpret_cast<Entry>(reinterpret_cast<void*>(
        ::GetProcAddress(module.Get(), registerIt ? "DllRegisterServer" : "DllUnregisterServer")));
    const HRESULT hr = entry ? entry() : HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
    ok = SUCCEEDED(hr);
    code = static_cast<long>(hr);
  }
  ::SetErrorMode(oldMode);
  log::Action(kLog, registerIt ? L"register COM server" : L"unregister COM server", modulePath,
              ok ? 0 : code);
  return ok;
}

}  // namespace

bool RegisterComServer(const std::wstring& modulePath, bool registerIt) {
  if (modulePath.empty()) return false;
  return Is64BitWindows() ? StartRegsvr32(modulePath, registerIt)
                          : CallInProcess(modulePath, registerIt);
}

}  // namespace lum
