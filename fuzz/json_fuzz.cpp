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
  for (lum::JsonText mode : {lum::JsonText::kUtf8, lum::JsonText::kAsciiOnly}) {
    const std::string written = lum::WriteJson(root, mode);
    lum::JsonValue back;
    if (!lum::ParseJson(written, &back) || lum::WriteJson(back, mode) != written) __builtin_trap();
  }
  return 0;
}
