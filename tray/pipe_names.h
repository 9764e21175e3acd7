// The two pipe names of the tray service link, derived from one 32-bit value
// (the volume serial of the Windows drive) so that the service and its
// clients find each other without configuration. Arithmetic wraps modulo
// 2^32; 16-bit fields take the low 16 bits.
#pragma once
#include <cstdint>
#include <string>

namespace lum {
namespace tray {

// The value used when the volume serial cannot be read.
constexpr uint32_t kFallbackVolumeSerial = 0x1234ABCD;

// The service's pipe name, without the "\\.\pipe\" prefix.
std::wstring ServicePipeName(uint32_t volumeSerial);
// A client's own callback pipe, prefixed with "\\.\pipe\" (at most 260 characters).
std::wstring CallbackPipeName(uint32_t processId, uint32_t volumeSerial);

}  // namespace tray
}  // namespace lum
