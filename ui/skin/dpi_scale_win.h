// The process's one DpiScale, read from the screen on first use.
#pragma once
#include "ui/skin/dpi_scale.h"

namespace lum {

// Initialised on first use from LOGPIXELSX of the screen (never scaled on
// Windows XP). Interface thread only.
DpiScale& Dpi();

}  // namespace lum
