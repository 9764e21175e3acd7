#include "i18n/line_break.h"

#include "base/text.h"

namespace lum {

bool IsUnbrokenLanguage(const std::wstring& code) {
  return code == L"zh-CN" || code == L"zh-TW" || code == L"ja";
}

std::wstring BreakLinesFor(const std::wstring& languageCode, const std::wstring& text, int width,
                           const MeasureLine& measure) {
  if (IsUnbrokenLanguage(languageCode)) return text;
  std::wstring result;
  std::wstring line;
  for (const std::wstring& word : Split(text, L' ', true)) {
    const std::wstring candidate = line.empty() ? word : line + L' ' + word;
    if (line.empty() || measure(candidate) < width) {
      // The first word of a line is placed even when it alone is too wide.
      line = candidate;
      continue;
    }
    result += (result.empty() ? L"" : L"\n") + line;
    line = word;
  }
  if (!line.empty()) result += (result.empty() ? L"" : L"\n") + line;
  return result;
}

}  // namespace lum
