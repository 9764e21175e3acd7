// Starts a program, waits for it and prints its full 32-bit exit code with
// its meaning. Wine hands only the low 8 bits of an exit code to Linux, so the
// demo and the benchmarks read installer outcomes through this program.
//
//   lum_exec.exe PROGRAM [ARGS...]
#include <windows.h>

#include <cstdio>
#include <string>

#include "base/exit_codes.h"

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) {
    std::fwprintf(stderr, L"usage: lum_exec PROGRAM [ARGS...]\n");
    return 2;
  }
  std::wstring cmd;
  for (int i = 1; i < argc; ++i) {
    std::wstring arg = argv[i];
    bool quote = arg.empty() || arg.find_first_of(L" \t") != std::wstring::npos;
    if (!cmd.empty()) cmd += L' ';
    cmd += quote ? L"\"" + arg + L"\"" : arg;
  }
  STARTUPINFOW si = {};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi = {};
  DWORD started = GetTickCount();
  if (!CreateProcessW(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
    std::fwprintf(stderr, L"lum_exec: cannot start %ls (error %lu)\n", argv[1], GetLastError());
    return 2;
  }
  CloseHandle(pi.hThread);
  WaitForSingleObject(pi.hProcess, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hProcess);
  std::printf("exit code %lu: %s\n", static_cast<unsigned long>(code),
              lum::ExitCodeMeaning(static_cast<int>(code)));
  std::printf("elapsed %lu ms\n", static_cast<unsigned long>(GetTickCount() - started));
  return code == 0 ? 0 : 1;
}
