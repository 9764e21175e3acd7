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

bool OpenFile(const std::wstring& path) {
  if (path.empty()) return false;
  // FILE_APPEND_DATA without FILE_WRITE_DATA makes every write land at the
  // end, also when another installer run appends to the same file.
  HANDLE handle =
      CreateFileW(path.c_str(), FILE_APPEND_DATA | SYNCHRONIZE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    Action("log", L"open log file", path, static_cast<long>(GetLastError()));
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
