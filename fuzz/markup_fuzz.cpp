// Markup parser on arbitrary UTF-16LE text: it must terminate, never read
// past the input, and keep every character that is not part of a tag.
#include <cstddef>
#include <cstdint>

#include "base/text.h"
#include "i18n/rich_text_markup.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::wstring markup = lum::Utf16LeToWide(data, size);
  size_t textChars = 0;
  for (const lum::MarkupRun& run : lum::ParseMarkup(markup)) {
    if (run.text.empty()) __builtin_trap();
    if (run.font < -1 || run.font > 9) __builtin_trap();
    if (!run.link.empty()) {
      uint32_t command = 0;
      lum::LinkCommand(run.link, &command);
    }
    textChars += run.text.size();
  }
  if (textChars > markup.size()) __builtin_trap();
  return 0;
}
