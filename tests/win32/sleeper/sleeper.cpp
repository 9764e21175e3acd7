// Stand-in for a product program in the process-termination tests: it only
// waits (the number of milliseconds given, two minutes by default) so a test
// can end it, or see that it was spared.
#include <windows.h>

#include <cwchar>

int wmain(int argc, wchar_t** argv) {
  const DWORD ms = argc > 1 ? static_cast<DWORD>(std::wcstoul(argv[1], nullptr, 10)) : 120000;
  Sleep(ms);
  return 0;
}
