// Minimal PNG encoder for the skin generator: 8-bit RGBA, one IDAT chunk,
// zlib deflate and CRC-32 from zlib. Row filters are chosen per row with the
// usual smallest-sum heuristic, so the output is deterministic.
#pragma once
#include <zlib.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace lum::skin {

inline void PutBe32(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v >> 24));
  out.push_back(static_cast<uint8_t>(v >> 16));
  out.push_back(static_cast<uint8_t>(v >> 8));
  out.push_back(static_cast<uint8_t>(v));
}

inline void PutChunk(std::vector<uint8_t>& out, const char type[4],
                     const std::vector<uint8_t>& data) {
  PutBe32(out, static_cast<uint32_t>(data.size()));
  const size_t typeAt = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  uLong crc = crc32(0L, Z_NULL, 0);
  crc = crc32(crc, out.data() + typeAt, static_cast<uInt>(4 + data.size()));
  PutBe32(out, static_cast<uint32_t>(crc));
}

inline uint8_t Paeth(int a, int b, int c) {
  const int p = a + b - c;
  const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
  if (pa <= pb && pa <= pc) return static_cast<uint8_t>(a);
  return static_cast<uint8_t>(pb <= pc ? b : c);
}

// Filtered scanlines (filter byte + row) for all rows.
inline std::vector<uint8_t> FilterRows(int width, int height, const std::vector<uint8_t>& rgba) {
  const size_t stride = static_cast<size_t>(width) * 4;
  std::vector<uint8_t> out;
  out.reserve((stride + 1) * height);
  std::vector<uint8_t> zero(stride, 0), best, trial(stride);
  for (int y = 0; y < height; ++y) {
    const uint8_t* row = rgba.data() + stride * y;
    const uint8_t* up = y > 0 ? row - stride : zero.data();
    long bestScore = -1;
    uint8_t bestType = 0;
    for (uint8_t type = 0; type <= 4; ++type) {
      long score = 0;
      for (size_t i = 0; i < stride; ++i) {
        const int a = i >= 4 ? row[i - 4] : 0;
        const int b = up[i];
        const int c = i >= 4 ? up[i - 4] : 0;
        int pred = 0;
        switch (type) {
          case 1:
            pred = a;
            break;
          case 2:
            pred = b;
            break;
          case 3:
            pred = (a + b) / 2;
            break;
          case 4:
            pred = Paeth(a, b, c);
            break;
          default:
            break;
        }
        const uint8_t v = static_cast<uint8_t>(row[i] - pred);
        trial[i] = v;
        score += v < 128 ? v : 256 - v;
      }
      if (bestScore < 0 || score < bestScore) {
        bestScore = score;
        bestType = type;
        best = trial;
      }
    }
    out.push_back(bestType);
    out.insert(out.end(), best.begin(), best.end());
  }
  return out;
}

// Encodes non-premultiplied RGBA pixels (rows top to bottom). False when zlib fails.
inline bool EncodePng(int width, int height, const std::vector<uint8_t>& rgba,
                      std::vector<uint8_t>& out) {
  if (width <= 0 || height <= 0 || rgba.size() != static_cast<size_t>(width) * height * 4) {
    return false;
  }
  const std::vector<uint8_t> raw = FilterRows(width, height, rgba);
  uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
  std::vector<uint8_t> packed(packedSize);
  if (compress2(packed.data(), &packedSize, raw.data(), static_cast<uLong>(raw.size()), 9) !=
      Z_OK) {
    return false;
  }
  packed.resize(packedSize);

  static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  out.assign(kSignature, kSignature + 8);
  std::vector<uint8_t> ihdr;
  PutBe32(ihdr, static_cast<uint32_t>(width));
  PutBe32(ihdr, static_cast<uint32_t>(height));
  ihdr.push_back(8);  // bit depth
  ihdr.push_back(6);  // colour type: truecolour with alpha
  ihdr.push_back(0);  // deflate
  ihdr.push_back(0);  // adaptive filtering
  ihdr.push_back(0);  // no interlace
  PutChunk(out, "IHDR", ihdr);
  PutChunk(out, "IDAT", packed);
  PutChunk(out, "IEND", {});
  return true;
}

}  // namespace lum::skin
