// The installer's one way of starting a program through the shell (the
// self-protection tool, the power-saver's flight-signing step, bcdedit, the
// restart without a compatibility layer and the elevated restart). A program
// that is not there when it is about to be started means the product's (or
// the installer's) files were damaged: the start says so through the
// process-wide missing-program handler (the damaged-file message of an
// interactive run, a log line and the statistics event of a silent one),
// which start-up sets.
#pragma once
#include <windows.h>

#include <string>

#include "system/win_handle_win.h"

namespace lum {

struct ShellStartRequest {
  const wchar_t* verb = L"open";
  std::wstring program;     // full path, quoted or not
  std::wstring parameters;  // may be empty
  int show = SW_SHOWNORMAL;
  const char* logTag = "install";
  const wchar_t* what = L"start";  // the log line's action
};

using MissingProgramHandler = void (*)(const std::wstring& program);
void SetMissingProgramHandler(MissingProgramHandler handler);

// ShellExecuteExW without the shell's own error boxes (a silent run has
// nobody to close them). When the program file does not exist, nothing is
// started: the missing-program handler hears of it first, and the answer is
// false with ERROR_FILE_NOT_FOUND. `process` (optional) receives the started
// program's process when the shell gives one. Logged either way.
bool StartThroughShell(const ShellStartRequest& request, UniqueHandle* process = nullptr);

}  // namespace lum
