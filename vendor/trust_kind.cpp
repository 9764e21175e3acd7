#include "vendor/trust_kind.h"

namespace lum {

namespace {
uint32_t Nibble(uint32_t value, int shift) { return (value >> shift) & 0xF; }
}  // namespace

int TrustKindFromProperties(uint32_t property3, uint32_t property4, uint32_t property5) {
  const uint32_t signature = Nibble(property4, 12);
  if (signature == 2 || signature == 3) return 1;
  if (Nibble(property5, 16) == 3) return 4;
  if (Nibble(property3, 8) == 3) return 3;
  return -1;
}

}  // namespace lum
