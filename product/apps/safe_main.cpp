// ZVSafeMain.exe: the product's main program. The installer starts it with
// "/install" after a successful install and later ends it by name; the stand-in
// shows its main window until it is closed. Each start appends a line to
// "ZVSafeMain.starts" beside it with the rights it was given, so tests see
// that the installer never hands its own administrator token on:
//   <command line> |elevated=0|1 admin=0|1 integrity=<RID, hex> session=<id>
#include <windows.h>
#include <shellapi.h>

#include <cwchar>
#include <string>

#include "call_record.h"
#include "window_loop.h"

namespace {

bool g_afterInstall = false;

bool PaintStatus(HWND wnd, UINT msg, WPARAM, LPARAM, LRESULT* result) {
  if (msg != WM_PAINT) return false;
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(wnd, &ps);
  RECT area;
  GetClientRect(wnd, &area);
  const wchar_t* text = g_afterInstall ? L"Lum Bastion has been installed and is protecting you."
                                       : L"Lum Bastion is protecting you.";
  DrawTextW(dc, text, -1, &area, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  EndPaint(wnd, &ps);
  *result = 0;
  return true;
}

std::wstring TokenFacts() {
  HANDLE token = nullptr;
  DWORD elevated = 2, integrity = 0;  // 2: could not be read
  if (OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
    TOKEN_ELEVATION elevation = {};
    DWORD size = 0;
    if (GetTokenInformation(token, TokenElevation, &elevation, sizeof(elevation), &size))
      elevated = elevation.TokenIsElevated ? 1 : 0;
    BYTE label[256] = {};
    if (GetTokenInformation(token, TokenIntegrityLevel, label, sizeof(label), &size)) {
      PSID sid = reinterpret_cast<TOKEN_MANDATORY_LABEL*>(label)->Label.Sid;
      const UCHAR count = *GetSidSubAuthorityCount(sid);
      if (count > 0) integrity = *GetSidSubAuthority(sid, count - 1);
    }
    CloseHandle(token);
  }
  BYTE admins[SECURITY_MAX_SID_SIZE] = {};
  DWORD adminsSize = sizeof(admins);
  BOOL member = TRUE;  // unknown counts as the worse case
  if (!CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, admins, &adminsSize) ||
      !CheckTokenMembership(nullptr, admins, &member))
    member = TRUE;
  DWORD session = 0;
  ProcessIdToSessionId(GetCurrentProcessId(), &session);
  wchar_t facts[160] = {};
  swprintf(facts, 160, L"elevated=%lu admin=%d integrity=%lx session=%lu", elevated,
           member ? 1 : 0, integrity, session);
  return facts;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  for (int i = 1; argv != nullptr && i < argc; ++i) {
    if (_wcsicmp(argv[i], L"/install") == 0) g_afterInstall = true;
  }
  LocalFree(argv);
  lum_product::RecordCall(nullptr, L"ZVSafeMain.starts",
                          std::wstring(GetCommandLineW()) + L" |" + TokenFacts());
  const lum::product::WindowDesc desc = {L"ZLumSafeMainClass", L"Lum Bastion", true, PaintStatus};
  return lum::product::RunWindow(instance, desc);
}
