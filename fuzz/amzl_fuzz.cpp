// Container reader on arbitrary bytes: header checks, the LZMA decoder and the
// digest must answer a code without reading outside the input.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "payload/amzl.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const int check = lum::CheckContainer(data, size);
  // Keep output buffers small: a huge unpackedSize only tests the allocator.
  if (size >= lum::kContainerHeaderSize) {
    const uint32_t unpacked =
        data[8] | data[9] << 8 | data[10] << 16 | static_cast<uint32_t>(data[11]) << 24;
    if (unpacked > (1u << 22)) return 0;
  }
  std::vector<uint8_t> out;
  const int code = lum::DecodeContainer(data, size, out);
  if (check != lum::kContainerOk && code != check) __builtin_trap();
  if (code == lum::kContainerOk && out.empty()) __builtin_trap();
  return 0;
}
