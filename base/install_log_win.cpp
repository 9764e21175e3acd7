#include <windows.h>

#include <memory>
#include <string>

#include "base/install_log.h"

namespace lum {
namespace log {
namespace {

// The open log file. Each line goes to the file with one WriteFile at once,
// so lines reach it even when the process ends through ExitProcess; the file
// is flushed to disk only when it is closed.
class LogFile {
 public:
  explicit LogFile(HANDLE handle) : handle_(handle) {}
  ~LogFile() {
    FlushFileBuffers(handle_);
    CloseHandle(handle_);
  }
  LogFile(const LogFile&) = delete;
  LogFile& operator=(const LogFile&) = delete;

  void WriteLine(const std::string& utf8Line) {
    std::string record = utf8Line;
    record += "\r\n";
    DWORD written = 0;
    WriteFile(handle_, record.data(), static_cast<DWORD>(record.size()), &written, nullptr);
  }

 private:
  HANDLE handle_;
};

// Set on the main thread when the log opens at start-up, read at the end.
std::wstring& OpenPath() {
  static std::wstring path;
  return path;
}

}  // namespace

std::wstring FilePath() { return OpenPath(); }

namespace {

// Attaches an opened handle as the sink unless it is something other than a
// plain file: FILE_FLAG_OPEN_REPARSE_POINT opened a link itself rather than
// what it points to, and its attributes tell.
bool Attach(HANDLE handle, const std::wstring& path) {
  BY_HANDLE_FILE_INFORMATION info = {};
  if (!GetFileInformationByHandle(handle, &info) ||
      (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0) {
    CloseHandle(handle);
    Action("log", L"open log file refused: not a plain file", path, ERROR_CANT_ACCESS_FILE);
    return false;
  }
  auto file = std::make_shared<LogFile>(handle);
  SetSink([file](const std::string& line) { file->WriteLine(line); });
  wchar_t full[MAX_PATH + 1] = {};
  const DWORD length = GetFullPathNameW(path.c_str(), MAX_PATH + 1, full, nullptr);
  OpenPath() = (length > 0 && length <= MAX_PATH) ? std::wstring(full, length) : path;
  Action("log", L"open log file", path, 0);
  return true;
}

// FILE_APPEND_DATA without FILE_WRITE_DATA makes every write land at the
// end, also when another installer run appends to the same file.
HANDLE OpenForAppend(const std::wstring& path, DWORD disposition) {
  return CreateFileW(path.c_str(), FILE_APPEND_DATA | SYNCHRONIZE,
                     FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, disposition,
                     FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

}  // namespace

bool OpenFile(const std::wstring& path) {
  if (path.empty()) return false;
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    Action("log", L"open log file refused: a link", path, ERROR_CANT_ACCESS_FILE);
    return false;
  }
  HANDLE handle = OpenForAppend(path, OPEN_ALWAYS);
  if (handle == INVALID_HANDLE_VALUE) {
    Action("log", L"open log file", path, static_cast<long>(GetLastError()));
    return false;
  }
  return Attach(handle, path);
}

bool OpenNewFile(const std::wstring& path, const NewFileMaker& make) {
  if (path.empty()) return false;
  // The default name is easy to foresee: whatever already has it (a file, a
  // link someone planted) is left alone and the next name is taken.
  for (int attempt = 0; attempt < kNewLogFileTries; ++attempt) {
    const std::wstring candidate = NumberedLogName(path, attempt);
    unsigned long made = 0;
    HANDLE handle = make ? static_cast<HANDLE>(make(candidate, &made))
                         : OpenForAppend(candidate, CREATE_NEW);
    if (handle != INVALID_HANDLE_VALUE) return Attach(handle, candidate);
    const DWORD error = make ? made : GetLastError();
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) {
      Action("log", L"create log file", candidate, static_cast<long>(error));
      return false;
    }
    Note("log", L"log file name taken, not used: " + candidate);
  }
  Action("log", L"create log file: every name taken", path, ERROR_FILE_EXISTS);
  return false;
}

std::wstring DefaultSilentLogPath() {
  wchar_t temp[MAX_PATH + 1] = {};
  const DWORD length = GetTempPathW(MAX_PATH + 1, temp);
  std::wstring folder = (length > 0 && length <= MAX_PATH) ? std::wstring(temp, length) : L"";
  if (!folder.empty() && folder.back() != L'\\') folder += L'\\';
  SYSTEMTIME now = {};
  GetLocalTime(&now);
  wchar_t name[64] = {};
  _snwprintf(name, 63, L"LumBastionSetup_%04u%02u%02u_%02u%02u%02u.log", now.wYear, now.wMonth,
             now.wDay, now.wHour, now.wMinute, now.wSecond);
  return folder + name;
}

}  // namespace log
}  // namespace lum
