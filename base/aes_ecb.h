// AES-128 in ECB mode with PKCS#7 padding, as the statistics service's
// envelope prescribes (the key travels sealed beside the data).
#pragma once
#include <cstdint>
#include <string>

namespace lum {

// Replaces *out with the cipher text: a whole padding block follows a clear
// text whose size is a multiple of 16. False (and *out untouched) when the
// cipher is unavailable.
bool Aes128EcbEncrypt(const uint8_t key[16], const std::string& clear, std::string* out);

}  // namespace lum
