// Item path rule on arbitrary UTF-16LE text: an accepted path is already in
// its normal form, never climbs, never roots, and names no drive or stream.
#include <cstddef>
#include <cstdint>
#include <string>

#include "base/text.h"
#include "payload/item_path.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::wstring path = lum::Utf16LeToWide(data, size);
  std::wstring out;
  if (!lum::SanitizeItemPath(path, out)) {
    if (!out.empty()) __builtin_trap();
    return 0;
  }
  if (out.empty() || out.front() == L'\\' || out.back() == L'\\') __builtin_trap();
  if (out.find(L'/') != std::wstring::npos || out.find(L':') != std::wstring::npos)
    __builtin_trap();
  if (out.find(L"\\\\") != std::wstring::npos) __builtin_trap();
  for (const std::wstring& part : lum::Split(out, L'\\', false)) {
    if (part.find_first_not_of(L". ") == std::wstring::npos) __builtin_trap();
  }
  std::wstring again;
  if (!lum::SanitizeItemPath(out, again) || again != out) __builtin_trap();  // idempotent
  return 0;
}
