// "amzl" containers: a 32-byte header followed by raw LZMA1 data.
//
//   offset size field
//   0      4    magic 'a' 'm' 'z' 'l'
//   4      4    version (0 or 1 accepted; we write 1)
//   8      4    unpackedSize
//   12     4    packedSize (bytes after the header)
//   16     16   MD5 of the unpacked bytes
//   32     ...  5 property bytes (lc/lp/pb, dictionary size LE32), LZMA stream
//
// Portable: no Windows here. The file-writing half lives in resource_file_win.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace lum {

// Result codes of the container reader; stable, logged and compared by callers.
enum ContainerCode : int {
  kContainerOk = 0,
  kContainerDecodeFailed = 100,  // LZMA error, data ended early, packedSize < 5
  kContainerBadHeader = 101,     // fewer than 32 bytes, or wrong magic
  kContainerBadVersion = 102,    // version above 1
  kContainerBadSize = 103,       // size is not 32 + packedSize
  kContainerBadDigest = 104,     // MD5 of the output differs from the header
  kContainerShortOutput = 105,   // decoder produced a size other than unpackedSize
  kContainerNoBuffer = 106,      // no input, unpackedSize 0, or no memory
  kContainerCreateFailed = 107,  // target file could not be created
  kContainerWriteFailed = 108,   // target file could not be written completely
};

constexpr size_t kContainerHeaderSize = 32;

// 0 when the bytes are a container this reader accepts, 101 or 102 otherwise.
int CheckContainer(const uint8_t* data, size_t size);

// Validates and decodes a container into `out` (codes 0 and 100-106).
int DecodeContainer(const uint8_t* data, size_t size, std::vector<uint8_t>& out);

// Packs bytes into a version-1 container (the build's packer uses this).
// Returns false when the encoder fails, the input is empty or exceeds 4 GiB.
bool BuildContainer(const uint8_t* data, size_t size, std::vector<uint8_t>& out);

// Short English text for a container code, for logs and tool messages.
const char* ContainerCodeText(int code);

}  // namespace lum
