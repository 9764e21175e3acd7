// Repair.exe: kept in the install folder when everything else is removed, so
// that a broken installation can be repaired. The stand-in prints what a
// repair would do and exits 0.
#include <windows.h>

#include <cstdio>
#include <string>

int wmain(int, wchar_t**) {
  wchar_t path[MAX_PATH] = {};
  const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path, n);
  const size_t slash = folder.find_last_of(L'\\');
  if (slash != std::wstring::npos) folder.resize(slash);
  std::wprintf(L"Lum Bastion repair\n");
  std::wprintf(L"would download the current installer and run it with /s into %ls\n", folder.c_str());
  std::wprintf(L"nothing was changed\n");
  return 0;
}
