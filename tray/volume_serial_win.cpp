#include "tray/volume_serial_win.h"

#include <windows.h>

#include "tray/pipe_names.h"

namespace lum {
namespace tray {

uint32_t SystemVolumeSerial() {
  wchar_t windows[MAX_PATH + 1] = {};
  const UINT length = ::GetSystemWindowsDirectoryW(windows, MAX_PATH);
  if (length < 3 || length > MAX_PATH || windows[1] != L':') return kFallbackVolumeSerial;
  const wchar_t root[] = {windows[0], L':', L'\\', L'\0'};
  DWORD serial = 0;
  if (!::GetVolumeInformationW(root, nullptr, 0, &serial, nullptr, nullptr, nullptr, 0))
    return kFallbackVolumeSerial;
  return serial;
}

}  // namespace tray
}  // namespace lum
