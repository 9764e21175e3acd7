// What the end-to-end tests share: finding the installer, starting a program
// and waiting for its full exit code, reading the files it leaves.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "base/text.h"
#include "system/registry_win.h"
#include "system/win_handle_win.h"

namespace lum {
namespace e2e {

// LUM_INSTALLER names the installer: a Windows path, or a Unix path that
// Wine's wine_get_dos_file_name converts.
inline std::wstring InstallerPath() {
  wchar_t value[1024] = {};
  const DWORD length = GetEnvironmentVariableW(L"LUM_INSTALLER", value, 1023);
  if (length == 0 || length >= 1023) return std::wstring();
  std::wstring path(value, length);
  if (path[0] != L'/') return path;
  using ToDos = WCHAR*(CDECL*)(LPCSTR);
  auto toDos = reinterpret_cast<ToDos>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_dos_file_name")));
  if (!toDos) return std::wstring();
  WCHAR* dos = toDos(WideToUtf8(path).c_str());
  if (!dos) return std::wstring();
  std::wstring out = dos;
  HeapFree(GetProcessHeap(), 0, dos);
  return out;
}

inline std::wstring TempFolder() {
  wchar_t temp[MAX_PATH + 1] = {};
  GetTempPathW(MAX_PATH, temp);
  return temp;
}

// Where the elevated installer makes its work folders ("Lum_install_*"):
// the system's temporary folder, never the user's.
inline std::wstring WorkFolderParent() {
  wchar_t windows[MAX_PATH + 1] = {};
  const UINT length = GetSystemWindowsDirectoryW(windows, MAX_PATH);
  return std::wstring(windows, length) + L"\\Temp\\";
}

// Runs `exe` with `args` and waits at most `timeoutMs`; the full 32-bit exit
// code, or -1 when it did not start or did not end in time.
inline int RunProgram(const std::wstring& exe, const std::wstring& args,
                      DWORD timeoutMs = 180000) {
  std::wstring line = L"\"" + exe + L"\" " + args;
  std::vector<wchar_t> buffer(line.begin(), line.end());
  buffer.push_back(L'\0');
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info = {};
  if (!CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &info))
    return -1;
  UniqueHandle process(info.hProcess), thread(info.hThread);
  if (WaitForSingleObject(process.Get(), timeoutMs) != WAIT_OBJECT_0) {
    TerminateProcess(process.Get(), 1);
    return -1;
  }
  DWORD code = 0;
  GetExitCodeProcess(process.Get(), &code);
  return static_cast<int>(code);
}

// The whole file, also while another process holds it open; empty when missing.
inline std::string ReadBytes(const std::wstring& path) {
  UniqueFileHandle file(CreateFileW(path.c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, 0, nullptr));
  if (!file) return std::string();
  std::string bytes(GetFileSize(file.Get(), nullptr), '\0');
  DWORD read = 0;
  if (!bytes.empty())
    ReadFile(file.Get(), &bytes[0], static_cast<DWORD>(bytes.size()), &read, nullptr);
  bytes.resize(read);
  return bytes;
}

// A UTF-8 text file (the installer's log) as a wide string.
inline std::wstring ReadText(const std::wstring& path) { return Utf8ToWide(ReadBytes(path)); }

inline size_t Count(const std::wstring& text, const std::wstring& needle) {
  size_t n = 0;
  for (size_t at = text.find(needle); at != std::wstring::npos; at = text.find(needle, at + 1)) ++n;
  return n;
}

// A registry value as the tests compare it: "<none>" / `missing` when absent.
inline std::wstring RegString(HKEY root, const std::wstring& key, const std::wstring& name,
                              RegView view = RegView::kDefault) {
  RegKey reg;
  std::wstring value;
  if (!reg.Open(root, key, KEY_QUERY_VALUE, view) || !reg.ReadString(name, &value)) return L"<none>";
  return value;
}

inline DWORD RegDword(HKEY root, const std::wstring& key, const std::wstring& name,
                      DWORD missing = 0xDEAD, RegView view = RegView::kDefault) {
  RegKey reg;
  DWORD value = 0;
  return reg.Open(root, key, KEY_QUERY_VALUE, view) && reg.ReadDword(name, &value) ? value : missing;
}

// The system's restart-time operations ("PendingFileRenameOperations") as
// one text, its zeros kept; empty when there are none.
inline std::wstring PendingRenameValue() {
  RegKey manager;
  DWORD size = 0, type = 0;
  if (!manager.Open(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\Session Manager",
                    KEY_QUERY_VALUE) ||
      RegQueryValueExW(manager.Get(), L"PendingFileRenameOperations", nullptr, &type, nullptr,
                       &size) != ERROR_SUCCESS)
    return std::wstring();
  std::wstring list(size / sizeof(wchar_t) + 1, L'\0');
  RegQueryValueExW(manager.Get(), L"PendingFileRenameOperations", nullptr, &type,
                   reinterpret_cast<BYTE*>(&list[0]), &size);
  return list;
}

// Writes `bytes` as the whole file.
inline bool WriteBytes(const std::wstring& path, const std::string& bytes) {
  UniqueFileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0,
                                    nullptr));
  DWORD written = 0;
  return file && WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                           nullptr) && written == bytes.size();
}

// The restart-time operations that touch `folder`, as "source > destination"
// lines (every run also schedules the removal of its own base-module folder).
inline std::wstring PendingRenamesIn(const std::wstring& folder) {
  const std::wstring value = PendingRenameValue();
  std::vector<std::wstring> strings;
  for (size_t at = 0; at < value.size();) {
    const size_t end = value.find(L'\0', at);
    strings.push_back(value.substr(at, end == std::wstring::npos ? end : end - at));
    if (end == std::wstring::npos) break;
    at = end + 1;
  }
  std::wstring lines;
  const std::wstring lowerFolder = ToLowerAscii(folder);
  for (size_t i = 0; i + 1 < strings.size(); i += 2) {
    const std::wstring pair = strings[i] + L" > " + strings[i + 1];
    if (ToLowerAscii(pair).find(lowerFolder) != std::wstring::npos) lines += pair + L"\n";
  }
  return lines;
}

}  // namespace e2e
}  // namespace lum
