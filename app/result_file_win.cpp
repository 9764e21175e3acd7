#include "app/result_file_win.h"

#include <windows.h>

#include <vector>

#include "base/install_log.h"
#include "base/text.h"
#include "system/file_bytes_win.h"

namespace lum {

namespace {
constexpr const char* kLog = "result";
}  // namespace

bool ClearResultFile(const std::wstring& path) {
  if (::DeleteFileW(path.c_str())) {
    log::Action(kLog, L"delete earlier result file", path, 0);
    return true;
  }
  const DWORD error = ::GetLastError();
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

bool WriteResultFile(const std::wstring& path, const RunResult& result) {
  const std::string json = FormatRunResult(result);
  // The temporary file sits beside the target, so the rename never crosses a
  // volume and replaces the target in one step.
  const std::wstring temp = path + L"." + std::to_wstring(::GetCurrentProcessId()) + L".tmp";
  if (!WriteFileBytes(temp, std::vector<uint8_t>(json.begin(), json.end()))) {
    const long error = static_cast<long>(::GetLastError());
    ::DeleteFileW(temp.c_str());
    log::Action(kLog, L"write result file", temp, error);
    return false;
  }
  if (!::MoveFileExW(temp.c_str(), path.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    const long error = static_cast<long>(::GetLastError());
    ::DeleteFileW(temp.c_str());
    log::Action(kLog, L"replace result file", path, error);
    return false;
  }
  log::Action(kLog, L"result file: " + Utf8ToWide(json), path, 0);
  return true;
}

bool ReadResultFile(const std::wstring& path, RunResult* result) {
  std::vector<uint8_t> bytes;
  return ReadFileBytes(path, &bytes) &&
         ParseRunResult(std::string(bytes.begin(), bytes.end()), result);
}

}  // namespace lum
