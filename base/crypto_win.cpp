// The digests and the cipher of md5.h, sha1.h and aes_ecb.h from the system's
// CNG library, so that the installer carries no cryptographic library of its
// own. The host build has the same from OpenSSL (crypto_openssl.cpp).
#include <windows.h>
#include <bcrypt.h>

#include <vector>

#include "base/aes_ecb.h"
#include "base/md5.h"
#include "base/sha1.h"

namespace lum {
namespace {

bool Succeeded(NTSTATUS status) { return status >= 0; }

// An algorithm provider, opened on first use and kept for the process: opening
// one costs far more than a digest, and a handle may serve any thread.
class Provider {
 public:
  Provider(const wchar_t* algorithm, const wchar_t* chainingMode) {
    if (!Succeeded(BCryptOpenAlgorithmProvider(&handle_, algorithm, nullptr, 0))) {
      handle_ = nullptr;
      return;
    }
    if (chainingMode &&
        !Succeeded(BCryptSetProperty(handle_, BCRYPT_CHAINING_MODE,
                                     reinterpret_cast<PUCHAR>(const_cast<wchar_t*>(chainingMode)),
                                     static_cast<ULONG>((wcslen(chainingMode) + 1) * sizeof(wchar_t)),
                                     0))) {
      BCryptCloseAlgorithmProvider(handle_, 0);
      handle_ = nullptr;
    }
  }
  ~Provider() {
    if (handle_) BCryptCloseAlgorithmProvider(handle_, 0);
  }
  Provider(const Provider&) = delete;
  Provider& operator=(const Provider&) = delete;
  BCRYPT_ALG_HANDLE get() const { return handle_; }

 private:
  BCRYPT_ALG_HANDLE handle_ = nullptr;
};

// A hash or key object, destroyed with its owner.
template <NTSTATUS(WINAPI* Destroy)(void*)>
class CngObject {
 public:
  CngObject() = default;
  ~CngObject() {
    if (handle_) Destroy(handle_);
  }
  CngObject(const CngObject&) = delete;
  CngObject& operator=(const CngObject&) = delete;
  void* get() const { return handle_; }
  void** receive() { return &handle_; }

 private:
  void* handle_ = nullptr;
};

bool Digest(const Provider& provider, const void* data, size_t size, uint8_t* digest,
            ULONG length) {
  // The system allocates the hash object itself.
  CngObject<BCryptDestroyHash> hash;
  if (!provider.get() ||
      !Succeeded(BCryptCreateHash(provider.get(), hash.receive(), nullptr, 0, nullptr, 0, 0)))
    return false;
  // The call takes a 32-bit length: larger inputs go in slices.
  const uint8_t* at = static_cast<const uint8_t*>(data);
  while (size > 0) {
    const ULONG slice = size > 0x40000000u ? 0x40000000u : static_cast<ULONG>(size);
    if (!Succeeded(BCryptHashData(hash.get(), const_cast<PUCHAR>(at), slice, 0))) return false;
    at += slice;
    size -= slice;
  }
  return Succeeded(BCryptFinishHash(hash.get(), digest, length, 0));
}

}  // namespace

bool Md5(const void* data, size_t size, uint8_t digest[16]) {
  static const Provider provider(BCRYPT_MD5_ALGORITHM, nullptr);
  return Digest(provider, data, size, digest, 16);
}

bool Sha1(const void* data, size_t size, uint8_t digest[20]) {
  static const Provider provider(BCRYPT_SHA1_ALGORITHM, nullptr);
  return Digest(provider, data, size, digest, 20);
}

bool Aes128EcbEncrypt(const uint8_t key[16], const std::string& clear, std::string* out) {
  static const Provider provider(BCRYPT_AES_ALGORITHM, BCRYPT_CHAIN_MODE_ECB);
  if (clear.size() > 0x7FFFFFF0u) return false;
  CngObject<BCryptDestroyKey> cipher;
  if (!provider.get() ||
      !Succeeded(BCryptGenerateSymmetricKey(provider.get(), cipher.receive(), nullptr, 0,
                                            const_cast<PUCHAR>(key), 16, 0)))
    return false;
  // Block padding is PKCS#7: a whole block of 16s after an exact multiple.
  const ULONG size = static_cast<ULONG>(clear.size());
  std::vector<uint8_t> buffer(clear.size() + 16);
  ULONG written = 0;
  if (!Succeeded(BCryptEncrypt(cipher.get(),
                               reinterpret_cast<PUCHAR>(const_cast<char*>(clear.data())), size,
                               nullptr, nullptr, 0, buffer.data(),
                               static_cast<ULONG>(buffer.size()), &written,
                               BCRYPT_BLOCK_PADDING)) ||
      written != (size / 16 + 1) * 16)
    return false;
  out->assign(reinterpret_cast<const char*>(buffer.data()), written);
  return true;
}

}  // namespace lum
