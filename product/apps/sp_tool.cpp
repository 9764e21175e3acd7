// safemon\LumSPTool.exe: the product's self-protection switch.
//
//   LumSPTool.exe /disablesp <level>   switches self-protection off for the
//                                      installer; exit 0, or the refusal code
//                                      kSelfProtectionRefused (handshake.h)
//
// The stand-in protects nothing, so it always agrees, unless a test sets the
// switch "SelfProtectionToolExit" (handshake.h): then it exits with that code
// (the refusal code makes it refuse). "SelfProtectionToolDelayMs" makes it
// take that long before it answers. Any other command line exits 1.
#include <windows.h>
#include <shellapi.h>

#include <cwchar>

#include "handshake.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  const bool disable = argv != nullptr && argc == 3 && _wcsicmp(argv[1], L"/disablesp") == 0;
  if (disable) lum::product::RecordCall(L"safemon\\LumSPTool.exe!/disablesp", argv[2]);
  LocalFree(argv);
  if (!disable) return 1;
  const DWORD delay = lum::product::StandInSwitch(L"SelfProtectionToolDelayMs", 0);
  if (delay != 0) Sleep(delay);
  return static_cast<int>(lum::product::StandInSwitch(L"SelfProtectionToolExit", 0));
}
