// EEMarker.dll: a marker module whose presence is what counts; it does no
// work when loaded and reports its format version.
#include <windows.h>

extern "C" __declspec(dllexport) int MarkerVersion() { return 1; }

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) DisableThreadLibraryCalls(instance);
  return TRUE;
}
