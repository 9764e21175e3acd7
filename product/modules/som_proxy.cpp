// safemon\SomProxy.dll: registers the product's native messaging host with
// Chrome (README.md). The host program and its manifests lie beside it.
#include <windows.h>

#include <string>

#include "handshake.h"

namespace {

HMODULE ThisModule() {
  HMODULE module = nullptr;
  GetModuleHandleExW(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      reinterpret_cast<LPCWSTR>(&ThisModule), &module);
  return module;
}

std::wstring ModuleFolder() {
  wchar_t path[MAX_PATH + 1] = {};
  const DWORD length = GetModuleFileNameW(ThisModule(), path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return std::wstring();
  std::wstring folder(path, length);
  return folder.substr(0, folder.find_last_of(L'\\') + 1);
}

bool WriteHost(REGSAM view, const std::wstring& manifest) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE,
                      L"SOFTWARE\\Google\\Chrome\\NativeMessagingHosts\\com.lumbastion.webguard", 0,
                      nullptr, 0, KEY_SET_VALUE | view, nullptr, &key, nullptr) != ERROR_SUCCESS)
    return false;
  const LONG rc =
      RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(manifest.c_str()),
                     static_cast<DWORD>((manifest.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
  return rc == ERROR_SUCCESS;
}

}  // namespace

// 1 when the host is registered in both registry views, else 0.
extern "C" __declspec(dllexport) int WINAPI Install() {
  lum::product::RecordCall(L"safemon\\SomProxy.dll!Install", nullptr);
  const std::wstring folder = ModuleFolder();
  if (folder.empty()) return 0;
  const std::wstring manifest = folder + L"chrome\\manifest.json";
  const bool ok32 = WriteHost(KEY_WOW64_32KEY, manifest);
  const bool ok64 = WriteHost(KEY_WOW64_64KEY, manifest);
  return ok32 && ok64 ? 1 : 0;
}
