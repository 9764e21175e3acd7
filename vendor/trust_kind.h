// How the base module's file-property object vouches for a file, when the
// module offers no direct verification entry.
#pragma once
#include <cstdint>

namespace lum {

// The trust kind that properties 3, 4 and 5 of a file give: 1 when bits 12-15
// of property 4 are 2 or 3, else 4 when bits 16-19 of property 5 are 3, else
// 3 when bits 8-11 of property 3 are 3; -1 when none vouches.
int TrustKindFromProperties(uint32_t property3, uint32_t property4, uint32_t property5);

}  // namespace lum
