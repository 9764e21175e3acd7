// The largest string and container either side of the tray link accepts from
// its peer: no legitimate call or answer carries more than a few kilobytes.
// The protocol library checks the announced length before it
// allocates anything, so a peer that announces more is dropped at once.
#pragma once
#include <cstdint>

namespace lum {
namespace tray {

constexpr int32_t kWireStringLimit = 64 * 1024;
constexpr int32_t kWireContainerLimit = 4096;

}  // namespace tray
}  // namespace lum
