// The value both ends of the tray link derive their pipe names from.
#pragma once
#include <cstdint>

namespace lum {
namespace tray {

// The volume serial of the drive that holds the Windows folder, or
// kFallbackVolumeSerial when it cannot be read.
uint32_t SystemVolumeSerial();

}  // namespace tray
}  // namespace lum
