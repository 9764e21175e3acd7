// deepscan\BAPI.dll: the product's kernel-assisted file module. The stand-in
// has no driver behind it: its entries answer success, "FSDeleteFileW"
// deletes like the system's DeleteFileW, and every call is recorded in
// "BAPI.calls" beside the module ("<entry> <argument>" per line).
//
// LUM_BAPI_BUILD tells the product's builds of the module apart: the payload
// carries build 2, "product-previous\deepscan\BAPI.dll" is build 1, and
// "SetupInstall" records which one it was ("SetupInstall build <n>").
//
// Test switches (environment of the loading process):
//   LUM_BAPI_REFUSE=<entry>         that entry answers 0 ("Install",
//                                   "JudgeVersion", "InitEngine", "InitRegEngine")
//   LUM_BAPI_INSTALL_DELAY_MS=<n>   "Install" takes n ms (holds the loader)
#include <windows.h>

#include <cwchar>
#include <string>

#include "call_record.h"

#ifndef LUM_BAPI_BUILD
#define LUM_BAPI_BUILD 2
#endif

namespace {

HMODULE self = nullptr;

void Record(const std::wstring& line) { lum_product::RecordCall(self, L"BAPI.calls", line); }

int Answer(const wchar_t* entry) {
  wchar_t refused[64] = {};
  const DWORD n = GetEnvironmentVariableW(L"LUM_BAPI_REFUSE", refused, 63);
  return n > 0 && n < 63 && wcscmp(refused, entry) == 0 ? 0 : 1;
}

}  // namespace

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) self = instance;
  return TRUE;
}

extern "C" {

__declspec(dllexport) int WINAPI Install(int mode) {
  wchar_t delay[16] = {};
  const DWORD n = GetEnvironmentVariableW(L"LUM_BAPI_INSTALL_DELAY_MS", delay, 15);
  if (n > 0 && n < 15) Sleep(static_cast<DWORD>(_wtoi(delay)));
  Record(L"Install " + std::to_wstring(mode));
  return Answer(L"Install");
}
__declspec(dllexport) int WINAPI JudgeVersion() {
  Record(L"JudgeVersion");
  return Answer(L"JudgeVersion");
}
__declspec(dllexport) int WINAPI InitEngine() {
  Record(L"InitEngine");
  return Answer(L"InitEngine");
}
__declspec(dllexport) int WINAPI InitRegEngine() {
  Record(L"InitRegEngine");
  return Answer(L"InitRegEngine");
}
__declspec(dllexport) int WINAPI UninitEngine() {
  Record(L"UninitEngine");
  return 1;
}
__declspec(dllexport) int WINAPI UninitRegEngine() {
  Record(L"UninitRegEngine");
  return 1;
}
__declspec(dllexport) int WINAPI SetupInstall() {
  Record(L"SetupInstall build " + std::to_wstring(LUM_BAPI_BUILD));
  return 1;
}
__declspec(dllexport) int WINAPI Uninstall() {
  Record(L"Uninstall");
  return 1;
}
__declspec(dllexport) BOOL WINAPI FSDeleteFileW(const wchar_t* path) {
  Record(std::wstring(L"FSDeleteFileW ") + (path ? path : L""));
  return path && DeleteFileW(path);
}

}  // extern "C"
