// SHA-1, where a peer's format asks for it (the statistics links' signature);
// never for anything that must resist forgery.
#pragma once
#include <cstddef>
#include <cstdint>

namespace lum {

// False only when the digest cannot be made.
bool Sha1(const void* data, size_t size, uint8_t digest[20]);

}  // namespace lum
