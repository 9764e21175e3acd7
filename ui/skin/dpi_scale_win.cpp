#include "ui/skin/dpi_scale_win.h"

#include <windows.h>

#include "system/windows_version_win.h"

namespace lum {

DpiScale& Dpi() {
  static DpiScale scale;
  static bool initialised = false;
  if (!initialised) {
    initialised = true;
    int dpi = DpiScale::kDesignDpi;
    if (HDC screen = ::GetDC(nullptr)) {
      dpi = ::GetDeviceCaps(screen, LOGPIXELSX);
      ::ReleaseDC(nullptr, screen);
    }
    scale.Initialise(GetWindowsVersion().IsXp(), dpi);
  }
  return scale;
}

}  // namespace lum
