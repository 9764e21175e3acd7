#include "system/process_start_win.h"

#include <vector>

namespace lum {

bool StartProcess(const std::wstring& application, const std::wstring& commandLine,
                  const std::wstring& folder, int show, DWORD flags, PROCESS_INFORMATION* info) {
  // CreateProcessW may write into the command line, so it gets a copy.
  std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
  line.push_back(L'\0');
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  if (show != kDefaultShow) {
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = static_cast<WORD>(show);
  }
  *info = PROCESS_INFORMATION();
  return ::CreateProcessW(application.empty() ? nullptr : application.c_str(), line.data(), nullptr,
                          nullptr, FALSE, flags, nullptr, folder.empty() ? nullptr : folder.c_str(),
                          &startup, info) != FALSE;
}

}  // namespace lum
