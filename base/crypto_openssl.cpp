// The digests and the cipher of md5.h, sha1.h and aes_ecb.h from OpenSSL: the
// host build's (tools, host tests). The Windows build takes the same from the
// system (crypto_win.cpp); the same tests run against both.
#include <openssl/evp.h>

#include <memory>
#include <vector>

#include "base/aes_ecb.h"
#include "base/md5.h"
#include "base/sha1.h"

namespace lum {
namespace {

bool Digest(const EVP_MD* type, const void* data, size_t size, uint8_t* digest,
            unsigned int expected) {
  // The digest of nothing still needs a valid pointer.
  static const char kEmpty = 0;
  unsigned int length = 0;
  return EVP_Digest(size == 0 ? &kEmpty : data, size, digest, &length, type, nullptr) == 1 &&
         length == expected;
}

struct CipherContextFree {
  void operator()(EVP_CIPHER_CTX* context) const { EVP_CIPHER_CTX_free(context); }
};

}  // namespace

bool Md5(const void* data, size_t size, uint8_t digest[16]) {
  return Digest(EVP_md5(), data, size, digest, 16);
}

bool Sha1(const void* data, size_t size, uint8_t digest[20]) {
  return Digest(EVP_sha1(), data, size, digest, 20);
}

bool Aes128EcbEncrypt(const uint8_t key[16], const std::string& clear, std::string* out) {
  std::unique_ptr<EVP_CIPHER_CTX, CipherContextFree> context(EVP_CIPHER_CTX_new());
  if (!context) return false;
  if (EVP_EncryptInit_ex(context.get(), EVP_aes_128_ecb(), nullptr, key, nullptr) != 1)
    return false;
  // PKCS#7 is the default padding.
  std::vector<uint8_t> buffer(clear.size() + 16);
  int written = 0;
  int last = 0;
  if (EVP_EncryptUpdate(context.get(), buffer.data(), &written,
                        reinterpret_cast<const uint8_t*>(clear.data()),
                        static_cast<int>(clear.size())) != 1 ||
      EVP_EncryptFinal_ex(context.get(), buffer.data() + written, &last) != 1)
    return false;
  out->assign(reinterpret_cast<const char*>(buffer.data()), static_cast<size_t>(written + last));
  return true;
}

}  // namespace lum
