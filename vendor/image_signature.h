// Signed images: the vendor's way of vouching for a file it ships.
//
// A signed image is the original file followed by an 80-byte trailer:
//
//   offset  size  field
//   0       64    Ed25519ph signature over every byte before the trailer
//   64      8     key id: first 8 bytes of SHA-256(public key)
//   72      8     magic "LUMSIG1\0"
//
// Windows maps only the PE sections, so a signed EXE or DLL still loads and
// runs. The signature is the pre-hashed Ed25519 variant so that a large
// installer is read in chunks, never held in memory. Signing a signed image
// replaces its trailer, so re-signing is idempotent.
//
// Portable: the same code serves the host signing tool and the base module;
// each side supplies an ImageReader over its own kind of file.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace lum {

constexpr size_t kImageSignatureBytes = 64;
constexpr size_t kImageKeyIdBytes = 8;
constexpr size_t kImageMagicBytes = 8;
constexpr size_t kImageTrailerBytes = kImageSignatureBytes + kImageKeyIdBytes + kImageMagicBytes;
constexpr size_t kImagePublicKeyBytes = 32;
constexpr size_t kImageSecretKeyBytes = 64;  // libsodium layout: seed then public key
extern const uint8_t kImageTrailerMagic[kImageMagicBytes];

enum class ImageTrust {
  kTrusted,       // signed with the expected key, content unchanged
  kUnsigned,      // no trailer (also a file cut inside its trailer)
  kOtherKey,      // a trailer made with another key
  kBadSignature,  // our key id, but the content or signature was changed
  kReadError,     // the file could not be read
};
const char* ImageTrustName(ImageTrust trust);

// Random access to the bytes of one image. Implementations need not be
// thread-safe; a verification uses its reader from one thread.
class ImageReader {
 public:
  virtual ~ImageReader() = default;
  virtual bool Size(uint64_t* size) = 0;
  // Reads exactly `count` bytes at `offset`; false on a short read or error.
  virtual bool ReadAt(uint64_t offset, uint8_t* buffer, size_t count) = 0;
};

class MemoryImageReader : public ImageReader {
 public:
  MemoryImageReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool Size(uint64_t* size) override;
  bool ReadAt(uint64_t offset, uint8_t* buffer, size_t count) override;

 private:
  const uint8_t* data_;
  size_t size_;
};

// Over an open stdio stream (not owned).
class StdioImageReader : public ImageReader {
 public:
  explicit StdioImageReader(FILE* file) : file_(file) {}
  bool Size(uint64_t* size) override;
  bool ReadAt(uint64_t offset, uint8_t* buffer, size_t count) override;

 private:
  FILE* file_;
};

// Key id of a public key: the first 8 bytes of its SHA-256.
void ImageKeyId(const uint8_t publicKey[kImagePublicKeyBytes], uint8_t keyId[kImageKeyIdBytes]);

// Length of the content before a trailer: `size` minus the trailer when the
// reader ends with the magic, else `size`. False when the reader fails.
bool ImageContentSize(ImageReader& reader, uint64_t* contentSize, bool* hasTrailer);

ImageTrust VerifyImage(const uint8_t publicKey[kImagePublicKeyBytes], ImageReader& reader);

// Builds the trailer for the first `contentSize` bytes of `reader`.
bool MakeImageTrailer(const uint8_t secretKey[kImageSecretKeyBytes], ImageReader& reader,
                      uint64_t contentSize, uint8_t trailer[kImageTrailerBytes]);

// Signs an image held in memory: any old trailer is replaced.
bool SignImageBytes(const uint8_t secretKey[kImageSecretKeyBytes], std::vector<uint8_t>* image);

// Signs a file in place (host tool): any old trailer is replaced.
bool SignImageFile(const uint8_t secretKey[kImageSecretKeyBytes], const std::string& path);
ImageTrust VerifyImageFile(const uint8_t publicKey[kImagePublicKeyBytes], const std::string& path);

}  // namespace lum
