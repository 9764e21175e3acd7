// A stand-in browser for the detection and launch tests: built under each
// browser's executable name with that browser's version description, it
// appends its command line to "<own path>.launches" (one UTF-16 line per
// start, followed by " |admin=1" when the Administrators group is enabled in
// its token, else " |admin=0", then " |cwd=<current folder>") and exits, so a
// test sees which browser was started with what rights and where.
#include <windows.h>

#include <string>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
  wchar_t self[MAX_PATH + 1] = {};
  const DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return 1;
  const std::wstring record = std::wstring(self, length) + L".launches";
  HANDLE file = CreateFileW(record.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 2;
  BYTE admins[SECURITY_MAX_SID_SIZE] = {};
  DWORD size = sizeof(admins);
  BOOL member = FALSE;
  if (!CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, admins, &size) ||
      !CheckTokenMembership(nullptr, admins, &member))
    member = TRUE;  // unknown counts as the worse case
  wchar_t folder[MAX_PATH + 1] = {};
  const DWORD folderLength = GetCurrentDirectoryW(MAX_PATH, folder);
  const std::wstring line = std::wstring(GetCommandLineW()) +
                            (member ? L" |admin=1" : L" |admin=0") + L" |cwd=" +
                            std::wstring(folder, folderLength < MAX_PATH ? folderLength : 0) +
                            L"\n";
  DWORD written = 0;
  WriteFile(file, line.data(), static_cast<DWORD>(line.size() * sizeof(wchar_t)), &written,
            nullptr);
  CloseHandle(file);
  return 0;
}
