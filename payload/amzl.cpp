#include "payload/amzl.h"

#include <lzma.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <exception>

#include "base/md5.h"

namespace lum {
namespace {

constexpr uint8_t kMagic[4] = {'a', 'm', 'z', 'l'};
constexpr uint32_t kVersion = 1;
constexpr size_t kPropsSize = 5;
constexpr uint32_t kMinDictionary = 4096;
// Largest lc/lp/pb byte: lc 8, lp 4, pb 4.
constexpr uint8_t kMaxPropsByte = (4 * 5 + 4) * 9 + 8;

uint32_t ReadLe32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// Taken as 64-bit so the test means the same on 32-bit builds.
bool FitsIn32(uint64_t value) { return value <= UINT32_MAX; }

void WriteLe32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

// Owns a liblzma stream so that every early return releases the coder.
class LzmaStream {
 public:
  LzmaStream() = default;
  ~LzmaStream() { lzma_end(&stream_); }
  LzmaStream(const LzmaStream&) = delete;
  LzmaStream& operator=(const LzmaStream&) = delete;
  lzma_stream* get() { return &stream_; }

 private:
  lzma_stream stream_ = LZMA_STREAM_INIT;
};

// Decodes raw LZMA1 until `out` is full. The stream need not carry an end
// marker; input that runs out first is a failure (100), an end marker that
// comes early leaves `produced` short for the caller to judge (105).
int DecodeRaw(const uint8_t* props, const uint8_t* in, size_t inSize, std::vector<uint8_t>& out,
              size_t& produced) {
  produced = 0;
  if (props[0] > kMaxPropsByte) return kContainerDecodeFailed;

  lzma_filter filters[2] = {{LZMA_FILTER_LZMA1, nullptr}, {LZMA_VLI_UNKNOWN, nullptr}};
  if (lzma_properties_decode(&filters[0], nullptr, props, kPropsSize) != LZMA_OK) {
    return kContainerDecodeFailed;
  }
  auto* options = static_cast<lzma_options_lzma*>(filters[0].options);
  // No match can reach further back than the output is long, so a dictionary
  // larger than the output is never used; capping it keeps a hostile header
  // from asking for gigabytes.
  const uint64_t cap = std::max<uint64_t>(kMinDictionary, out.size());
  options->dict_size = static_cast<uint32_t>(
      std::min<uint64_t>(std::max<uint32_t>(options->dict_size, kMinDictionary), cap));

  LzmaStream coder;
  lzma_ret ret = lzma_raw_decoder(coder.get(), filters);
  free(filters[0].options);  // liblzma allocated it with malloc; the decoder keeps a copy
  if (ret != LZMA_OK) return kContainerDecodeFailed;

  lzma_stream* s = coder.get();
  s->next_in = in;
  s->avail_in = inSize;
  s->next_out = out.data();
  s->avail_out = out.size();
  while (s->avail_out > 0) {
    ret = lzma_code(s, LZMA_RUN);
    if (ret == LZMA_STREAM_END) break;
    // A call without progress answers LZMA_BUF_ERROR: the input ended early.
    if (ret != LZMA_OK) return kContainerDecodeFailed;
  }
  produced = out.size() - s->avail_out;
  return kContainerOk;
}

}  // namespace

int CheckContainer(const uint8_t* data, size_t size) {
  if (data == nullptr || size < kContainerHeaderSize) return kContainerBadHeader;
  if (std::memcmp(data, kMagic, sizeof(kMagic)) != 0) return kContainerBadHeader;
  if (ReadLe32(data + 4) > kVersion) return kContainerBadVersion;
  return kContainerOk;
}

int DecodeContainer(const uint8_t* data, size_t size, std::vector<uint8_t>& out) {
  out.clear();
  if (data == nullptr) return kContainerNoBuffer;
  const int check = CheckContainer(data, size);
  if (check != kContainerOk) return check;

  const uint32_t unpackedSize = ReadLe32(data + 8);
  const uint32_t packedSize = ReadLe32(data + 12);
  if (static_cast<uint64_t>(size) != kContainerHeaderSize + static_cast<uint64_t>(packedSize)) {
    return kContainerBadSize;
  }
  // Too short to hold the property bytes: nothing to decode.
  if (packedSize < kPropsSize) return kContainerDecodeFailed;
  if (unpackedSize == 0) return kContainerNoBuffer;

  std::vector<uint8_t> buffer;
  try {
    buffer.resize(unpackedSize);
  } catch (const std::exception&) {  // bad_alloc, or length_error on 32-bit
    return kContainerNoBuffer;
  }

  const uint8_t* packed = data + kContainerHeaderSize;
  size_t produced = 0;
  const int decoded =
      DecodeRaw(packed, packed + kPropsSize, packedSize - kPropsSize, buffer, produced);
  if (decoded != kContainerOk) return decoded;
  if (produced != unpackedSize) return kContainerShortOutput;

  uint8_t digest[16];
  if (!Md5(buffer.data(), buffer.size(), digest) || std::memcmp(digest, data + 16, 16) != 0) {
    return kContainerBadDigest;
  }
  out.swap(buffer);
  return kContainerOk;
}

bool BuildContainer(const uint8_t* data, size_t size, std::vector<uint8_t>& out) {
  out.clear();
  // An empty payload could never be unpacked (unpackedSize 0 is refused).
  if (data == nullptr || size == 0 || !FitsIn32(size)) return false;

  lzma_options_lzma options;
  if (lzma_lzma_preset(&options, 9 | LZMA_PRESET_EXTREME)) return false;
  // The header's dictionary size is what a reader allocates; never ask for
  // more than the data needs.
  options.dict_size = static_cast<uint32_t>(
      std::max<uint64_t>(kMinDictionary, std::min<uint64_t>(options.dict_size, size)));
  lzma_filter filters[2] = {{LZMA_FILTER_LZMA1, &options}, {LZMA_VLI_UNKNOWN, nullptr}};

  std::vector<uint8_t> result(kContainerHeaderSize + kPropsSize);
  if (lzma_properties_encode(&filters[0], result.data() + kContainerHeaderSize) != LZMA_OK) {
    return false;
  }

  LzmaStream coder;
  if (lzma_raw_encoder(coder.get(), filters) != LZMA_OK) return false;
  lzma_stream* s = coder.get();
  s->next_in = data;
  s->avail_in = size;
  size_t used = result.size();
  lzma_ret ret = LZMA_OK;
  do {
    if (used == result.size()) result.resize(result.size() + std::max<size_t>(size / 2, 65536));
    s->next_out = result.data() + used;
    s->avail_out = result.size() - used;
    ret = lzma_code(s, LZMA_FINISH);
    used = result.size() - s->avail_out;
  } while (ret == LZMA_OK);
  if (ret != LZMA_STREAM_END) return false;
  result.resize(used);

  const uint64_t packedSize = used - kContainerHeaderSize;
  if (!FitsIn32(packedSize)) return false;
  std::memcpy(result.data(), kMagic, sizeof(kMagic));
  WriteLe32(result.data() + 4, kVersion);
  WriteLe32(result.data() + 8, static_cast<uint32_t>(size));
  WriteLe32(result.data() + 12, static_cast<uint32_t>(packedSize));
  if (!Md5(data, size, result.data() + 16)) return false;
  out.swap(result);
  return true;
}

const char* ContainerCodeText(int code) {
  switch (code) {
    case kContainerOk:
      return "unpacked";
    case kContainerDecodeFailed:
      return "LZMA data is corrupt or ends early";
    case kContainerBadHeader:
      return "not a container (too short or wrong magic)";
    case kContainerBadVersion:
      return "container version is newer than this reader";
    case kContainerBadSize:
      return "container size does not match its header";
    case kContainerBadDigest:
      return "MD5 of the unpacked data does not match";
    case kContainerShortOutput:
      return "unpacked size does not match the header";
    case kContainerNoBuffer:
      return "no input or no memory for the output";
    case kContainerCreateFailed:
      return "target file could not be created";
    case kContainerWriteFailed:
      return "target file could not be written completely";
    default:
      return "unknown container code";
  }
}

}  // namespace lum
