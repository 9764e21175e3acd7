#include "i18n/text_direction.h"

#include <algorithm>

namespace lum {

namespace {

TextDirection DirectionOf(wchar_t c) {
  // Hebrew, Arabic, Syriac, Arabic supplement, Thaana, N'Ko and the
  // right-to-left presentation forms; the explicit right-to-left marks.
  if ((c >= 0x0590 && c <= 0x08FF) || (c >= 0xFB1D && c <= 0xFDFF) ||
      (c >= 0xFE70 && c <= 0xFEFE) || c == 0x200F || c == 0x202B || c == 0x202E)
    return TextDirection::kRightToLeft;
  if ((c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z') ||
      c == 0x200E || c == 0x202A || c == 0x202D)
    return TextDirection::kLeftToRight;
  // Every other letter above Latin-1's symbols (Latin extensions, Greek,
  // Cyrillic, Indic, CJK, Hangul) is written left to right; below U+00C0 and
  // in the general punctuation block only neutrals are left.
  if (c >= 0x00C0 && c != 0x00D7 && c != 0x00F7 && !(c >= 0x2000 && c <= 0x2BFF) &&
      !(c >= 0x3000 && c <= 0x303F) && !(c >= 0xFE00 && c <= 0xFE6F) &&
      !(c >= 0xFF00 && c <= 0xFF20))
    return TextDirection::kLeftToRight;
  return TextDirection::kNeutral;
}

}  // namespace

bool IsRightToLeftLanguage(const std::wstring& code) {
  std::wstring base = code.substr(0, code.find_first_of(L"-_"));
  for (wchar_t& c : base)
    if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
  return base == L"ar" || base == L"he" || base == L"iw" || base == L"fa" || base == L"ur" ||
         base == L"yi" || base == L"ps" || base == L"sd" || base == L"ug" || base == L"dv";
}

TextDirection StrongDirection(const std::wstring& text) {
  for (wchar_t c : text) {
    const TextDirection d = DirectionOf(c);
    if (d != TextDirection::kNeutral) return d;
  }
  return TextDirection::kNeutral;
}

std::vector<size_t> VisualOrder(const std::vector<TextDirection>& pieces, bool rightToLeft) {
  const TextDirection line =
      rightToLeft ? TextDirection::kRightToLeft : TextDirection::kLeftToRight;
  const size_t n = pieces.size();
  // A neutral piece takes the direction of its strong neighbours when they
  // agree, the line's otherwise.
  std::vector<TextDirection> resolved(pieces);
  for (size_t i = 0; i < n; ++i) {
    if (resolved[i] != TextDirection::kNeutral) continue;
    size_t end = i;
    while (end < n && pieces[end] == TextDirection::kNeutral) ++end;
    const TextDirection before = i > 0 ? resolved[i - 1] : line;
    const TextDirection after = end < n ? pieces[end] : line;
    const TextDirection take = before == after ? before : line;
    for (size_t k = i; k < end; ++k) resolved[k] = take;
    i = end - 1;
  }
  // Levels: the line's own direction at the base level, the other one above
  // it; left-to-right pieces in a right-to-left line stand two levels up, so
  // that after both reversals they are in reading order again.
  std::vector<int> level(n);
  for (size_t i = 0; i < n; ++i) {
    if (rightToLeft)
      level[i] = resolved[i] == TextDirection::kLeftToRight ? 2 : 1;
    else
      level[i] = resolved[i] == TextDirection::kRightToLeft ? 1 : 0;
  }
  std::vector<size_t> order(n);
  for (size_t i = 0; i < n; ++i) order[i] = i;
  const int highest = n ? *std::max_element(level.begin(), level.end()) : 0;
  for (int at = highest; at >= 1; --at) {
    for (size_t i = 0; i < n;) {
      if (level[order[i]] < at) {
        ++i;
        continue;
      }
      size_t end = i;
      while (end < n && level[order[end]] >= at) ++end;
      std::reverse(order.begin() + static_cast<std::ptrdiff_t>(i),
                   order.begin() + static_cast<std::ptrdiff_t>(end));
      i = end;
    }
  }
  return order;
}

}  // namespace lum
