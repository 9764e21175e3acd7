// The stand-in modules' record of the calls they receive: one UTF-8 line per
// call appended to "<module folder>\<record name>", which tests read.
#pragma once
#include <windows.h>

#include <string>

namespace lum_product {

inline std::wstring ModuleFolder(HMODULE module) {
  wchar_t path[MAX_PATH + 1] = {};
  const DWORD length = GetModuleFileNameW(module, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return std::wstring();
  std::wstring folder(path, length);
  return folder.substr(0, folder.find_last_of(L'\\') + 1);
}

inline std::wstring ModulePath(HMODULE module) {
  wchar_t path[MAX_PATH + 1] = {};
  const DWORD length = GetModuleFileNameW(module, path, MAX_PATH);
  return length == 0 || length >= MAX_PATH ? std::wstring() : std::wstring(path, length);
}

// Appends `line` and CRLF in one write, so lines of concurrent callers do not mix.
inline void RecordCall(HMODULE module, const wchar_t* recordName, const std::wstring& line) {
  const std::wstring file = ModuleFolder(module) + recordName;
  HANDLE h = CreateFileW(file.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                         nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return;
  const std::wstring text = line + L"\r\n";
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                        nullptr, 0, nullptr, nullptr);
  std::string utf8(bytes > 0 ? bytes : 0, '\0');
  if (bytes > 0)
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &utf8[0], bytes,
                        nullptr, nullptr);
  DWORD written = 0;
  WriteFile(h, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
  CloseHandle(h);
}

}  // namespace lum_product
