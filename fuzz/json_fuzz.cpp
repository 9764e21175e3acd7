// JSON text from peers: parsing arbitrary bytes must never crash, and what
// parses must write out as text that reads back to the same document.
#include <cstddef>
#include <cstdint>
#include <string>

#include "base/json.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  lum::JsonValue root;
  std::string error;
  if (!lum::ParseJson(text, &root, &error)) {
    if (error.empty() || !root.IsNull()) __builtin_trap();
    return 0;
  }
  const std::string written = lum::WriteJson(root);
  lum::JsonValue back;
  if (!lum::ParseJson(written, &back) || lum::WriteJson(back) != written) __builtin_trap();
  // ASCII-only text replaces stray bytes, so it need not match; it must
  // still be ASCII and read back.
  const std::string ascii = lum::WriteJson(root, lum::JsonText::kAsciiOnly);
  for (char c : ascii)
    if (static_cast<unsigned char>(c) >= 0x80) __builtin_trap();
  if (!lum::ParseJson(ascii, &back)) __builtin_trap();
  return 0;
}
