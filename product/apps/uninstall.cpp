// Uninstall.exe: the uninstaller named by the uninstall entry. The stand-in
// does not remove anything: it prints what the product's removal covers and
// exits 0. "/S" runs without asking (nothing is asked either way here).
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

std::wstring OwnFolder() {
  wchar_t path[MAX_PATH] = {};
  const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path, n);
  const size_t slash = folder.find_last_of(L'\\');
  return slash == std::wstring::npos ? std::wstring() : folder.substr(0, slash);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  bool silent = false;
  for (int i = 1; i < argc; ++i) {
    if (_wcsicmp(argv[i], L"/S") == 0) silent = true;
  }
  const std::wstring folder = OwnFolder();
  std::wprintf(L"Lum Bastion uninstaller (%ls)\n", silent ? L"silent" : L"interactive");
  std::wprintf(L"would stop and delete the services ZVActiveDefense and ZVProtected\n");
  std::wprintf(L"would end ZVSafeMain.exe, ZVSafeTray.exe and ZVActiveDefense.exe\n");
  std::wprintf(L"would delete the folder %ls (keeping Repair.exe)\n", folder.c_str());
  std::wprintf(L"would delete HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\LumBastion\n");
  std::wprintf(L"nothing was changed\n");
  return 0;
}
