#include "vendor/image_signature.h"

#include <sodium.h>

#include <cstring>
#include <memory>

namespace lum {

const uint8_t kImageTrailerMagic[kImageMagicBytes] = {'L', 'U', 'M', 'S', 'I', 'G', '1', 0};

namespace {

constexpr size_t kChunkBytes = 64 * 1024;
constexpr size_t kKeyIdOffset = kImageSignatureBytes;
constexpr size_t kMagicOffset = kImageSignatureBytes + kImageKeyIdBytes;

bool SodiumReady() { return sodium_init() >= 0; }

int Seek(FILE* file, uint64_t offset) {
#ifdef _WIN32
  return _fseeki64(file, static_cast<__int64>(offset), SEEK_SET);
#else
  return fseeko(file, static_cast<off_t>(offset), SEEK_SET);
#endif
}

// Feeds the first `length` bytes of `reader` into the pre-hash state.
bool HashContent(ImageReader& reader, uint64_t length, crypto_sign_ed25519ph_state* state) {
  std::unique_ptr<uint8_t[]> chunk(new uint8_t[kChunkBytes]);
  uint64_t offset = 0;
  while (offset < length) {
    const uint64_t left = length - offset;
    const size_t count = left < kChunkBytes ? static_cast<size_t>(left) : kChunkBytes;
    if (!reader.ReadAt(offset, chunk.get(), count)) return false;
    crypto_sign_ed25519ph_update(state, chunk.get(), count);
    offset += count;
  }
  return true;
}

struct FileCloser {
  void operator()(FILE* file) const {
    if (file) fclose(file);
  }
};
using UniqueFile = std::unique_ptr<FILE, FileCloser>;

}  // namespace

const char* ImageTrustName(ImageTrust trust) {
  switch (trust) {
    case ImageTrust::kTrusted:
      return "trusted";
    case ImageTrust::kUnsigned:
      return "unsigned";
    case ImageTrust::kOtherKey:
      return "signed with another key";
    case ImageTrust::kBadSignature:
      return "signature does not match the content";
    case ImageTrust::kReadError:
      return "unreadable";
  }
  return "unknown";
}

bool MemoryImageReader::Size(uint64_t* size) {
  *size = size_;
  return true;
}

bool MemoryImageReader::ReadAt(uint64_t offset, uint8_t* buffer, size_t count) {
  if (offset > size_ || count > size_ - offset) return false;
  if (count) memcpy(buffer, data_ + offset, count);
  return true;
}

bool StdioImageReader::Size(uint64_t* size) {
  if (!file_) return false;
#ifdef _WIN32
  if (_fseeki64(file_, 0, SEEK_END) != 0) return false;
  const __int64 end = _ftelli64(file_);
#else
  if (fseeko(file_, 0, SEEK_END) != 0) return false;
  const off_t end = ftello(file_);
#endif
  if (end < 0) return false;
  *size = static_cast<uint64_t>(end);
  return true;
}

bool StdioImageReader::ReadAt(uint64_t offset, uint8_t* buffer, size_t count) {
  if (!file_ || Seek(file_, offset) != 0) return false;
  return fread(buffer, 1, count, file_) == count;
}

void ImageKeyId(const uint8_t publicKey[kImagePublicKeyBytes], uint8_t keyId[kImageKeyIdBytes]) {
  uint8_t digest[crypto_hash_sha256_BYTES];
  crypto_hash_sha256(digest, publicKey, kImagePublicKeyBytes);
  memcpy(keyId, digest, kImageKeyIdBytes);
}

bool ImageContentSize(ImageReader& reader, uint64_t* contentSize, bool* hasTrailer) {
  uint64_t size = 0;
  if (!reader.Size(&size)) return false;
  *contentSize = size;
  *hasTrailer = false;
  if (size < kImageTrailerBytes) return true;
  uint8_t magic[kImageMagicBytes];
  if (!reader.ReadAt(size - kImageMagicBytes, magic, sizeof magic)) return false;
  if (memcmp(magic, kImageTrailerMagic, kImageMagicBytes) == 0) {
    *contentSize = size - kImageTrailerBytes;
    *hasTrailer = true;
  }
  return true;
}

ImageTrust VerifyImage(const uint8_t publicKey[kImagePublicKeyBytes], ImageReader& reader) {
  if (!SodiumReady()) return ImageTrust::kReadError;
  uint64_t contentSize = 0;
  bool hasTrailer = false;
  if (!ImageContentSize(reader, &contentSize, &hasTrailer)) return ImageTrust::kReadError;
  if (!hasTrailer) return ImageTrust::kUnsigned;

  uint8_t trailer[kImageTrailerBytes];
  if (!reader.ReadAt(contentSize, trailer, sizeof trailer)) return ImageTrust::kReadError;
  uint8_t expectedId[kImageKeyIdBytes];
  ImageKeyId(publicKey, expectedId);
  if (memcmp(trailer + kKeyIdOffset, expectedId, kImageKeyIdBytes) != 0) {
    return ImageTrust::kOtherKey;
  }

  crypto_sign_ed25519ph_state state;
  crypto_sign_ed25519ph_init(&state);
  if (!HashContent(reader, contentSize, &state)) return ImageTrust::kReadError;
  if (crypto_sign_ed25519ph_final_verify(&state, trailer, publicKey) != 0) {
    return ImageTrust::kBadSignature;
  }
  return ImageTrust::kTrusted;
}

bool MakeImageTrailer(const uint8_t secretKey[kImageSecretKeyBytes], ImageReader& reader,
                      uint64_t contentSize, uint8_t trailer[kImageTrailerBytes]) {
  if (!SodiumReady()) return false;
  crypto_sign_ed25519ph_state state;
  crypto_sign_ed25519ph_init(&state);
  if (!HashContent(reader, contentSize, &state)) return false;
  if (crypto_sign_ed25519ph_final_create(&state, trailer, nullptr, secretKey) != 0) return false;
  uint8_t publicKey[kImagePublicKeyBytes];
  if (crypto_sign_ed25519_sk_to_pk(publicKey, secretKey) != 0) return false;
  ImageKeyId(publicKey, trailer + kKeyIdOffset);
  memcpy(trailer + kMagicOffset, kImageTrailerMagic, kImageMagicBytes);
  return true;
}

bool SignImageBytes(const uint8_t secretKey[kImageSecretKeyBytes], std::vector<uint8_t>* image) {
  MemoryImageReader reader(image->data(), image->size());
  uint64_t contentSize = 0;
  bool hasTrailer = false;
  if (!ImageContentSize(reader, &contentSize, &hasTrailer)) return false;
  uint8_t trailer[kImageTrailerBytes];
  if (!MakeImageTrailer(secretKey, reader, contentSize, trailer)) return false;
  image->resize(static_cast<size_t>(contentSize));
  image->insert(image->end(), trailer, trailer + kImageTrailerBytes);
  return true;
}

bool SignImageFile(const uint8_t secretKey[kImageSecretKeyBytes], const std::string& path) {
  UniqueFile file(fopen(path.c_str(), "r+b"));
  if (!file) return false;
  StdioImageReader reader(file.get());
  uint64_t contentSize = 0;
  bool hasTrailer = false;
  if (!ImageContentSize(reader, &contentSize, &hasTrailer)) return false;
  uint8_t trailer[kImageTrailerBytes];
  if (!MakeImageTrailer(secretKey, reader, contentSize, trailer)) return false;
  // An old trailer is exactly the last 80 bytes, so writing at the content's
  // end replaces it without changing the length; otherwise this appends.
  if (Seek(file.get(), contentSize) != 0) return false;
  if (fwrite(trailer, 1, sizeof trailer, file.get()) != sizeof trailer) return false;
  return fclose(file.release()) == 0;
}

ImageTrust VerifyImageFile(const uint8_t publicKey[kImagePublicKeyBytes], const std::string& path) {
  UniqueFile file(fopen(path.c_str(), "rb"));
  if (!file) return ImageTrust::kReadError;
  StdioImageReader reader(file.get());
  return VerifyImage(publicKey, reader);
}

}  // namespace lum
