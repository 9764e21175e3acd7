#include "system/shell_start_win.h"

// shellapi.h builds on windows.h.
#include <shellapi.h>

#include <atomic>

#include "base/install_log.h"
#include "system/file_ops_win.h"

namespace lum {

namespace {

std::atomic<MissingProgramHandler> g_missing{nullptr};

std::wstring Unquoted(const std::wstring& path) {
  if (path.size() >= 2 && path.front() == L'"' && path.back() == L'"')
    return path.substr(1, path.size() - 2);
  return path;
}

}  // namespace

void SetMissingProgramHandler(MissingProgramHandler handler) { g_missing = handler; }

bool StartThroughShell(const ShellStartRequest& request, UniqueHandle* process) {
  const std::wstring program = Unquoted(request.program);
  const std::wstring line =
      L"\"" + program + L"\"" + (request.parameters.empty() ? L"" : L" " + request.parameters);
  if (!FileExists(program)) {
    log::Action(request.logTag,
                std::wstring(request.what) + L": the program is missing (files damaged)", line,
                ERROR_FILE_NOT_FOUND);
    if (MissingProgramHandler handler = g_missing.load()) handler(program);
    ::SetLastError(ERROR_FILE_NOT_FOUND);
    return false;
  }
  const std::wstring quoted = L"\"" + program + L"\"";
  SHELLEXECUTEINFOW info = {sizeof(info)};
  info.fMask = SEE_MASK_FLAG_NO_UI | (process ? SEE_MASK_NOCLOSEPROCESS : 0);
  info.lpVerb = request.verb;
  info.lpFile = quoted.c_str();
  info.lpParameters = request.parameters.empty() ? nullptr : request.parameters.c_str();
  info.nShow = request.show;
  const BOOL started = ::ShellExecuteExW(&info);
  const DWORD error = started ? 0 : ::GetLastError();
  log::Action(request.logTag, request.what, line, static_cast<long>(error));
  if (started && process) process->Reset(info.hProcess);
  ::SetLastError(error);
  return started != FALSE;
}

}  // namespace lum
