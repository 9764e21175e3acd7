// The digests and the cipher of md5.h, sha1.h and aes_ecb.h from the system:
// its CNG library where Windows has one (Vista and later), its older
// CryptoAPI on Windows XP; the installer carries no cryptographic library of
// its own. The host build has the same from OpenSSL (crypto_openssl.cpp).
#include "base/crypto_win.h"

#include <windows.h>
// These headers build on windows.h.
#include <bcrypt.h>
#include <wincrypt.h>

#include <cstring>
#include <vector>

#include "base/aes_ecb.h"
#include "base/md5.h"
#include "base/sha1.h"
#include "base/system_dll_win.h"

namespace lum {
namespace {

bool Succeeded(NTSTATUS status) { return status >= 0; }

// The CNG library, loaded from the system folder when first needed; Windows XP
// has none. The members carry the functions' own names and types.
struct CngApi {
  decltype(&::BCryptOpenAlgorithmProvider) BCryptOpenAlgorithmProvider = nullptr;
  decltype(&::BCryptSetProperty) BCryptSetProperty = nullptr;
  decltype(&::BCryptCloseAlgorithmProvider) BCryptCloseAlgorithmProvider = nullptr;
  decltype(&::BCryptCreateHash) BCryptCreateHash = nullptr;
  decltype(&::BCryptHashData) BCryptHashData = nullptr;
  decltype(&::BCryptFinishHash) BCryptFinishHash = nullptr;
  decltype(&::BCryptDestroyHash) BCryptDestroyHash = nullptr;
  decltype(&::BCryptGenerateSymmetricKey) BCryptGenerateSymmetricKey = nullptr;
  decltype(&::BCryptEncrypt) BCryptEncrypt = nullptr;
  decltype(&::BCryptDestroyKey) BCryptDestroyKey = nullptr;
  bool Ready() const {
    return BCryptOpenAlgorithmProvider && BCryptSetProperty && BCryptCloseAlgorithmProvider &&
           BCryptCreateHash && BCryptHashData && BCryptFinishHash && BCryptDestroyHash &&
           BCryptGenerateSymmetricKey && BCryptEncrypt && BCryptDestroyKey;
  }
};

const CngApi* Cng() {
  static const CngApi api = [] {
    CngApi a;
#define LUM_CNG(name) a.name = SystemExport<decltype(a.name)>(L"bcrypt.dll", #name)
    LUM_CNG(BCryptOpenAlgorithmProvider);
    LUM_CNG(BCryptSetProperty);
    LUM_CNG(BCryptCloseAlgorithmProvider);
    LUM_CNG(BCryptCreateHash);
    LUM_CNG(BCryptHashData);
    LUM_CNG(BCryptFinishHash);
    LUM_CNG(BCryptDestroyHash);
    LUM_CNG(BCryptGenerateSymmetricKey);
    LUM_CNG(BCryptEncrypt);
    LUM_CNG(BCryptDestroyKey);
#undef LUM_CNG
    return a;
  }();
  return api.Ready() ? &api : nullptr;
}

// Windows XP: the same through CryptoAPI and its AES provider (XP SP3).
class LegacyProvider {
 public:
  LegacyProvider() {
    if (!::CryptAcquireContextW(&handle_, nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT))
      handle_ = 0;
  }
  ~LegacyProvider() {
    if (handle_) ::CryptReleaseContext(handle_, 0);
  }
  LegacyProvider(const LegacyProvider&) = delete;
  LegacyProvider& operator=(const LegacyProvider&) = delete;
  HCRYPTPROV get() const { return handle_; }

 private:
  HCRYPTPROV handle_ = 0;
};

HCRYPTPROV Legacy() {
  static const LegacyProvider provider;
  return provider.get();
}

bool LegacyDigest(ALG_ID algorithm, const void* data, size_t size, uint8_t* digest, DWORD length) {
  HCRYPTHASH hash = 0;
  if (!Legacy() || !::CryptCreateHash(Legacy(), algorithm, 0, 0, &hash)) return false;
  bool ok = true;
  const BYTE* at = static_cast<const BYTE*>(data);
  while (ok && size > 0) {
    const DWORD slice = size > 0x40000000u ? 0x40000000u : static_cast<DWORD>(size);
    ok = ::CryptHashData(hash, at, slice, 0) != FALSE;
    at += slice;
    size -= slice;
  }
  DWORD got = length;
  ok = ok && ::CryptGetHashParam(hash, HP_HASHVAL, digest, &got, 0) && got == length;
  ::CryptDestroyHash(hash);
  return ok;
}

}  // namespace

namespace legacy_crypto {

bool Md5(const void* data, size_t size, uint8_t digest[16]) {
  return LegacyDigest(CALG_MD5, data, size, digest, 16);
}

bool Sha1(const void* data, size_t size, uint8_t digest[20]) {
  return LegacyDigest(CALG_SHA1, data, size, digest, 20);
}

bool Aes128EcbEncrypt(const uint8_t key[16], const std::string& clear, std::string* out) {
  if (clear.size() > 0x7FFFFFF0u || !Legacy()) return false;
  struct {
    BLOBHEADER header;
    DWORD size;
    BYTE key[16];
  } blob = {{PLAINTEXTKEYBLOB, CUR_BLOB_VERSION, 0, CALG_AES_128}, 16, {}};
  memcpy(blob.key, key, 16);
  HCRYPTKEY cipher = 0;
  if (!::CryptImportKey(Legacy(), reinterpret_cast<BYTE*>(&blob), sizeof(blob), 0, 0, &cipher))
    return false;
  DWORD mode = CRYPT_MODE_ECB;
  const DWORD size = static_cast<DWORD>(clear.size());
  std::vector<BYTE> buffer(clear.begin(), clear.end());
  buffer.resize(clear.size() + 16);
  DWORD written = size;
  // The last block is padded as PKCS#5 says, which for 16-byte blocks is PKCS#7.
  const bool ok = ::CryptSetKeyParam(cipher, KP_MODE, reinterpret_cast<BYTE*>(&mode), 0) &&
                  ::CryptEncrypt(cipher, 0, TRUE, 0, buffer.data(), &written,
                                 static_cast<DWORD>(buffer.size())) &&
                  written == (size / 16 + 1) * 16;
  ::CryptDestroyKey(cipher);
  if (ok) out->assign(reinterpret_cast<const char*>(buffer.data()), written);
  return ok;
}

}  // namespace legacy_crypto

namespace {

// An algorithm provider, opened on first use and kept for the process: opening
// one costs far more than a digest, and a handle may serve any thread.
class Provider {
 public:
  Provider(const wchar_t* algorithm, const wchar_t* chainingMode) : api_(Cng()) {
    if (!api_) return;
    if (!Succeeded(api_->BCryptOpenAlgorithmProvider(&handle_, algorithm, nullptr, 0))) {
      handle_ = nullptr;
      return;
    }
    if (chainingMode && !Succeeded(api_->BCryptSetProperty(
                            handle_, BCRYPT_CHAINING_MODE,
                            reinterpret_cast<PUCHAR>(const_cast<wchar_t*>(chainingMode)),
                            static_cast<ULONG>((wcslen(chainingMode) + 1) * sizeof(wchar_t)), 0))) {
      api_->BCryptCloseAlgorithmProvider(handle_, 0);
      handle_ = nullptr;
    }
  }
  ~Provider() {
    if (handle_) api_->BCryptCloseAlgorithmProvider(handle_, 0);
  }
  Provider(const Provider&) = delete;
  Provider& operator=(const Provider&) = delete;
  BCRYPT_ALG_HANDLE get() const { return handle_; }
  const CngApi* api() const { return api_; }

 private:
  const CngApi* api_;
  BCRYPT_ALG_HANDLE handle_ = nullptr;
};

// A hash or key object, destroyed with its owner.
class CngObject {
 public:
  explicit CngObject(NTSTATUS(WINAPI* destroy)(void*)) : destroy_(destroy) {}
  ~CngObject() {
    if (handle_) destroy_(handle_);
  }
  CngObject(const CngObject&) = delete;
  CngObject& operator=(const CngObject&) = delete;
  void* get() const { return handle_; }
  void** receive() { return &handle_; }

 private:
  NTSTATUS(WINAPI* destroy_)(void*);
  void* handle_ = nullptr;
};

bool Digest(const Provider& provider, const void* data, size_t size, uint8_t* digest,
            ULONG length) {
  // The system allocates the hash object itself.
  if (!provider.get()) return false;
  const CngApi& api = *provider.api();
  CngObject hash(api.BCryptDestroyHash);
  if (!Succeeded(api.BCryptCreateHash(provider.get(), hash.receive(), nullptr, 0, nullptr, 0, 0)))
    return false;
  // The call takes a 32-bit length: larger inputs go in slices.
  const uint8_t* at = static_cast<const uint8_t*>(data);
  while (size > 0) {
    const ULONG slice = size > 0x40000000u ? 0x40000000u : static_cast<ULONG>(size);
    if (!Succeeded(api.BCryptHashData(hash.get(), const_cast<PUCHAR>(at), slice, 0))) return false;
    at += slice;
    size -= slice;
  }
  return Succeeded(api.BCryptFinishHash(hash.get(), digest, length, 0));
}

}  // namespace

bool Md5(const void* data, size_t size, uint8_t digest[16]) {
  static const Provider provider(BCRYPT_MD5_ALGORITHM, nullptr);
  if (!provider.api()) return legacy_crypto::Md5(data, size, digest);
  return Digest(provider, data, size, digest, 16);
}

bool Sha1(const void* data, size_t size, uint8_t digest[20]) {
  static const Provider provider(BCRYPT_SHA1_ALGORITHM, nullptr);
  if (!provider.api()) return legacy_crypto::Sha1(data, size, digest);
  return Digest(provider, data, size, digest, 20);
}

bool Aes128EcbEncrypt(const uint8_t key[16], const std::string& clear, std::string* out) {
  static const Provider provider(BCRYPT_AES_ALGORITHM, BCRYPT_CHAIN_MODE_ECB);
  if (clear.size() > 0x7FFFFFF0u) return false;
  if (!provider.api()) return legacy_crypto::Aes128EcbEncrypt(key, clear, out);
  if (!provider.get()) return false;
  const CngApi& api = *provider.api();
  CngObject cipher(api.BCryptDestroyKey);
  if (!Succeeded(api.BCryptGenerateSymmetricKey(provider.get(), cipher.receive(), nullptr, 0,
                                                const_cast<PUCHAR>(key), 16, 0)))
    return false;
  // Block padding is PKCS#7: a whole block of 16s after an exact multiple.
  const ULONG size = static_cast<ULONG>(clear.size());
  std::vector<uint8_t> buffer(clear.size() + 16);
  ULONG written = 0;
  if (!Succeeded(
          api.BCryptEncrypt(cipher.get(), reinterpret_cast<PUCHAR>(const_cast<char*>(clear.data())),
                            size, nullptr, nullptr, 0, buffer.data(),
                            static_cast<ULONG>(buffer.size()), &written, BCRYPT_BLOCK_PADDING)) ||
      written != (size / 16 + 1) * 16)
    return false;
  out->assign(reinterpret_cast<const char*>(buffer.data()), written);
  return true;
}

}  // namespace lum
