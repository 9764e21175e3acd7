// Utils\PowerSaver.exe: the installer starts it with "/flightsigning" late in
// an install to apply the product's boot-signing preference. The stand-in has
// no such preference to apply: it accepts the switch and exits 0; any other
// switch is refused with 1.
#include <windows.h>
#include <shellapi.h>

#include <cwchar>

#include "handshake.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  const bool known = argv != nullptr && argc == 2 && _wcsicmp(argv[1], L"/flightsigning") == 0;
  LocalFree(argv);
  if (known) lum::product::RecordCall(L"Utils\\PowerSaver.exe!/flightsigning", nullptr);
  return known ? 0 : 1;
}
