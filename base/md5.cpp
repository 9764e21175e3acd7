#include "base/md5.h"

#include <openssl/evp.h>

namespace lum {

bool Md5(const void* data, size_t size, uint8_t digest[16]) {
  // The digest of nothing still needs a valid pointer.
  static const char kEmpty = 0;
  unsigned int length = 0;
  return EVP_Digest(size == 0 ? &kEmpty : data, size, digest, &length, EVP_md5(), nullptr) == 1 &&
         length == 16;
}

}  // namespace lum
