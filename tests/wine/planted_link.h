// A link planted the way a standard user would plant one, in a form the Wine
// in use can hold. Windows takes a junction (FSCTL_SET_REPARSE_POINT); Wine 8
// answers that with ERROR_NOT_SUPPORTED and its CreateSymbolicLinkW makes
// nothing, but it shows a host symbolic link inside the prefix as a reparse
// point (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT for a folder;
// a link to a file it shows as a plain file). So the junction is tried first,
// and the host's own "ln -s" second, started as Wine starts a Unix program.
#pragma once
#include <windows.h>
// These headers build on windows.h.
#include <winioctl.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/text.h"

namespace lum {
namespace planted {

// The host path Wine maps a Windows path to; empty outside Wine.
inline std::string UnixPath(const std::wstring& path) {
  using ToUnix = char*(CDECL*)(LPCWSTR);
  auto toUnix = reinterpret_cast<ToUnix>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  if (!toUnix) return std::string();
  char* unix = toUnix(path.c_str());
  if (!unix) return std::string();
  std::string out = unix;
  HeapFree(GetProcessHeap(), 0, unix);
  return out;
}

// A junction at `link` (made as an empty folder first) to the folder `target`.
inline bool MakeJunction(const std::wstring& link, const std::wstring& target) {
  if (!CreateDirectoryW(link.c_str(), nullptr)) return false;
  HANDLE handle = CreateFileW(link.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  bool made = false;
  if (handle != INVALID_HANDLE_VALUE) {
    const std::wstring substitute = L"\\??\\" + target;
    std::vector<uint8_t> buffer(16 + (substitute.size() + target.size() + 2) * sizeof(wchar_t));
    auto put16 = [&](size_t at, size_t v) {
      buffer[at] = static_cast<uint8_t>(v);
      buffer[at + 1] = static_cast<uint8_t>(v >> 8);
    };
    const DWORD tag = IO_REPARSE_TAG_MOUNT_POINT;
    memcpy(buffer.data(), &tag, 4);
    put16(4, buffer.size() - 8);
    put16(10, substitute.size() * 2);
    put16(12, (substitute.size() + 1) * 2);
    put16(14, target.size() * 2);
    memcpy(buffer.data() + 16, substitute.c_str(), substitute.size() * 2);
    memcpy(buffer.data() + 16 + (substitute.size() + 1) * 2, target.c_str(), target.size() * 2);
    DWORD returned = 0;
    made = DeviceIoControl(handle, FSCTL_SET_REPARSE_POINT, buffer.data(),
                           static_cast<DWORD>(buffer.size()), nullptr, 0, &returned,
                           nullptr) != FALSE;
    CloseHandle(handle);
  }
  if (!made) RemoveDirectoryW(link.c_str());
  return made;
}

// Starts the host program `program` ("ln", "rm") from /bin with `arguments`
// and waits until `done` holds (5 s at most): Wine tells no one when a Unix
// program it started has ended.
template <typename Done>
bool RunHost(const std::wstring& program, const std::wstring& arguments, Done done) {
  const std::wstring path = L"Z:\\bin\\" + program;
  const std::wstring command = L"\"" + path + L"\" " + arguments;
  std::vector<wchar_t> line(command.begin(), command.end());
  line.push_back(L'\0');
  STARTUPINFOW startup = {sizeof(startup)};
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(path.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process))
    return false;
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  for (int i = 0; i < 100; ++i) {
    if (done()) return true;
    Sleep(50);
  }
  return false;
}

// A host symbolic link `link` -> `target` (an existing file or folder) made
// by the host's "ln -s".
inline bool MakeHostLink(const std::wstring& link, const std::wstring& target) {
  const size_t slash = link.find_last_of(L'\\');
  if (slash == std::wstring::npos) return false;
  const std::string parent = UnixPath(link.substr(0, slash));
  const std::string to = UnixPath(target);
  if (parent.empty() || to.empty()) return false;
  return RunHost(L"ln",
                 L"-s \"" + Utf8ToWide(to) + L"\" \"" + Utf8ToWide(parent) + L"/" +
                     link.substr(slash + 1) + L"\"",
                 [&] { return GetFileAttributesW(link.c_str()) != INVALID_FILE_ATTRIBUTES; });
}

// Removes the planted link `link` itself: a junction as Windows does, a host
// link with the host's "rm" (Wine removes no folder link, and deleting a file
// link deletes its target there).
inline bool RemovePlantedLink(const std::wstring& link) {
  if (RemoveDirectoryW(link.c_str())) return true;
  const std::string path = UnixPath(link);
  if (path.empty()) return false;
  return RunHost(L"rm", L"-f \"" + Utf8ToWide(path) + L"\"",
                 [&] { return GetFileAttributesW(link.c_str()) == INVALID_FILE_ATTRIBUTES; });
}

// A link at `link` (which must not exist) to the existing folder `target`,
// read back as a reparse point. False when neither form could be made.
inline bool PlantFolderLink(const std::wstring& link, const std::wstring& target) {
  if (!MakeJunction(link, target) && !MakeHostLink(link, target)) return false;
  const DWORD attributes = GetFileAttributesW(link.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

}  // namespace planted
}  // namespace lum
