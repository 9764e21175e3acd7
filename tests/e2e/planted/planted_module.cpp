// A module a test plants where the installer must never load code from. The
// moment anything loads it, it appends "<its path> in <the process>" to
// C:\lum_planted_ran.txt: the marker the swap tests look for.
#include <windows.h>

namespace {

void LeaveMarker(HINSTANCE self) {
  wchar_t module[MAX_PATH + 1] = {}, process[MAX_PATH + 1] = {};
  GetModuleFileNameW(self, module, MAX_PATH);
  GetModuleFileNameW(nullptr, process, MAX_PATH);
  HANDLE file = CreateFileW(L"C:\\lum_planted_ran.txt", FILE_APPEND_DATA,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  char line[2 * MAX_PATH + 16] = {};
  const int a = WideCharToMultiByte(CP_UTF8, 0, module, -1, line, MAX_PATH, nullptr, nullptr);
  int at = a > 0 ? a - 1 : 0;
  const char in[] = " in ";
  for (const char* c = in; *c; ++c) line[at++] = *c;
  const int b = WideCharToMultiByte(CP_UTF8, 0, process, -1, line + at, MAX_PATH, nullptr, nullptr);
  at += b > 0 ? b - 1 : 0;
  line[at++] = '\r';
  line[at++] = '\n';
  DWORD written = 0;
  WriteFile(file, line, static_cast<DWORD>(at), &written, nullptr);
  CloseHandle(file);
}

}  // namespace

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) LeaveMarker(instance);
  return TRUE;
}
