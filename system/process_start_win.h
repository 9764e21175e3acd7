// Starting a program: the one place that turns a command line into the
// writable buffer CreateProcess wants and fills the start-up record.
#pragma once
#include <windows.h>

#include <string>

namespace lum {

constexpr int kDefaultShow = -1;  // leave the window's show state to the program

// CreateProcessW(`application` or none when empty, `commandLine`, ..., `flags`,
// `folder` or the caller's when empty), with the main window shown as `show`
// (SW_HIDE, SW_SHOWNORMAL, ... or kDefaultShow). The caller owns the handles
// in `info`. False, with GetLastError, when the program did not start.
bool StartProcess(const std::wstring& application, const std::wstring& commandLine,
                  const std::wstring& folder, int show, DWORD flags, PROCESS_INFORMATION* info);

}  // namespace lum
