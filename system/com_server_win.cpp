#include "system/com_server_win.h"

#include <windows.h>

#include <cwchar>
#include <vector>

#include "base/install_log.h"
#include "system/win_handle_win.h"
#include "system/windows_version_win.h"

namespace lum {
namespace {

constexpr const char* kLog = "com";

bool RegisterThroughRegsvr32(const std::wstring& modulePath, bool registerIt) {
  wchar_t regsvr32[MAX_PATH + 1] = {};
  const DWORD length =
      ::ExpandEnvironmentStringsW(L"%windir%\\system32\\regsvr32.exe", regsvr32, MAX_PATH);
  if (length == 0 || length > MAX_PATH) return false;
  std::wstring line = L"\"" + std::wstring(regsvr32) + (registerIt ? L"\" /s \"" : L"\" /s /u \"") +
                      modulePath + L"\"";
  std::vector<wchar_t> buffer(line.begin(), line.end());
  buffer.push_back(L'\0');
  STARTUPINFOW startup = {sizeof(startup)};
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  PROCESS_INFORMATION info = {};
  const BOOL started = ::CreateProcessW(regsvr32, buffer.data(), nullptr, nullptr, FALSE, 0,
                                        nullptr, nullptr, &startup, &info);
  log::Action(kLog, registerIt ? L"regsvr32 register" : L"regsvr32 unregister", modulePath,
              started ? 0 : static_cast<long>(::GetLastError()));
  if (!started) return false;
  ::CloseHandle(info.hThread);
  ::CloseHandle(info.hProcess);
  return true;
}

bool RegisterInProcess(const std::wstring& modulePath, bool registerIt) {
  OleInit ole;
  const UINT oldMode = ::SetErrorMode(SEM_FAILCRITICALERRORS);
  bool ok = false;
  long code = 0;
  {
    UniqueModule module(::LoadLibraryExW(modulePath.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
    if (!module) {
      code = static_cast<long>(::GetLastError());
    } else {
      using Entry = HRESULT(__stdcall*)();
      auto entry = reinterpret_cast<Entry>(reinterpret_cast<void*>(::GetProcAddress(
          module.Get(), registerIt ? "DllRegisterServer" : "DllUnregisterServer")));
      if (!entry) {
        code = ERROR_PROC_NOT_FOUND;
      } else {
        const HRESULT result = entry();
        ok = SUCCEEDED(result);
        code = static_cast<long>(result);
      }
    }
  }
  ::SetErrorMode(oldMode);
  log::Action(kLog, registerIt ? L"register COM server" : L"unregister COM server", modulePath,
              ok ? 0 : (code != 0 ? code : 1));
  return ok;
}

}  // namespace

bool RegisterComServer(const std::wstring& modulePath, bool registerIt) {
  if (IsWow64()) return RegisterThroughRegsvr32(modulePath, registerIt);
  return RegisterInProcess(modulePath, registerIt);
}

}  // namespace lum
