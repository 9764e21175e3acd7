// MD5, where a stored format or a peer asks for it (the payload's archive
// check, the machine identifier); never for anything that must resist forgery.
#pragma once
#include <cstddef>
#include <cstdint>

namespace lum {

// False only when the digest cannot be made.
bool Md5(const void* data, size_t size, uint8_t digest[16]);

}  // namespace lum
