// The older Windows way of md5.h, sha1.h and aes_ecb.h (CryptoAPI), which the
// functions there take where the system has no CNG library (Windows XP).
// Declared for the tests, which hold it to the same vectors.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace lum {
namespace legacy_crypto {

bool Md5(const void* data, size_t size, uint8_t digest[16]);
bool Sha1(const void* data, size_t size, uint8_t digest[20]);
bool Aes128EcbEncrypt(const uint8_t key[16], const std::string& clear, std::string* out);

}  // namespace legacy_crypto
}  // namespace lum
