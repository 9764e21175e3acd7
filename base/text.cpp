#include "base/text.h"

namespace lum {
namespace {

constexpr char32_t kReplacement = 0xFFFD;
// wchar_t is UTF-16 on Windows and UTF-32 on Linux; code points above the
// basic plane take a surrogate pair only in the former.
constexpr bool kWideIsUtf16 = sizeof(wchar_t) == 2;

bool IsHighSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char32_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

void AppendCodePoint(std::wstring& out, char32_t cp) {
  if (kWideIsUtf16 && cp > 0xFFFF) {
    cp -= 0x10000;
    out.push_back(static_cast<wchar_t>(0xD800 + (cp >> 10)));
    out.push_back(static_cast<wchar_t>(0xDC00 + (cp & 0x3FF)));
  } else {
    out.push_back(static_cast<wchar_t>(cp));
  }
}

// Reads one code point of a wide string at `i`, joining surrogate pairs where
// wide strings are UTF-16; lone surrogates become U+FFFD.
char32_t NextCodePoint(const std::wstring& text, size_t& i) {
  char32_t c = static_cast<char32_t>(text[i++]);
  if (kWideIsUtf16) c &= 0xFFFF;
  if (IsHighSurrogate(c)) {
    if (kWideIsUtf16 && i < text.size()) {
      char32_t low = static_cast<char32_t>(text[i]) & 0xFFFF;
      if (IsLowSurrogate(low)) {
        ++i;
        return 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
      }
    }
    return kReplacement;
  }
  if (IsLowSurrogate(c) || c > 0x10FFFF) return kReplacement;
  return c;
}

wchar_t LowerAscii(wchar_t c) { return (c >= L'A' && c <= L'Z') ? c - L'A' + L'a' : c; }

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n'; }

}  // namespace

bool DecodeUtf8(const uint8_t* p, size_t left, char32_t* cp, size_t* consumed) {
  const uint8_t b = p[0];
  *consumed = 1;
  if (b < 0x80) {
    *cp = b;
    return true;
  }
  size_t len = 0;
  char32_t value = 0;
  char32_t min = 0;
  if ((b & 0xE0) == 0xC0) {
    len = 2, value = b & 0x1F, min = 0x80;
  } else if ((b & 0xF0) == 0xE0) {
    len = 3, value = b & 0x0F, min = 0x800;
  } else if ((b & 0xF8) == 0xF0) {
    len = 4, value = b & 0x07, min = 0x10000;
  } else {
    return false;
  }
  for (size_t used = 1; used < len; ++used) {
    if (used >= left || (p[used] & 0xC0) != 0x80) {
      *consumed = used;
      return false;
    }
    value = (value << 6) | (p[used] & 0x3F);
  }
  *consumed = len;
  if (value < min || value > 0x10FFFF || IsHighSurrogate(value) || IsLowSurrogate(value))
    return false;
  *cp = value;
  return true;
}

std::wstring Utf8ToWide(const std::string& utf8) {
  std::wstring out;
  out.reserve(utf8.size());
  const auto* bytes = reinterpret_cast<const uint8_t*>(utf8.data());
  size_t i = 0;
  while (i < utf8.size()) {
    char32_t cp = 0;
    size_t consumed = 1;
    // A bad sequence costs one replacement character and resumes at the
    // first byte that cannot belong to it.
    const bool ok = DecodeUtf8(bytes + i, utf8.size() - i, &cp, &consumed);
    AppendCodePoint(out, ok ? cp : kReplacement);
    i += consumed;
  }
  return out;
}

std::string WideToUtf8(const std::wstring& wide) {
  std::string out;
  out.reserve(wide.size());
  size_t i = 0;
  while (i < wide.size()) {
    const char32_t cp = NextCodePoint(wide, i);
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

std::wstring Utf16LeToWide(const uint8_t* data, size_t size) {
  std::wstring out;
  if (data == nullptr) return out;
  const size_t units = size / 2;
  out.reserve(units);
  for (size_t i = 0; i < units; ++i) {
    const char32_t unit = data[2 * i] | (static_cast<char32_t>(data[2 * i + 1]) << 8);
    if (kWideIsUtf16) {
      out.push_back(static_cast<wchar_t>(unit));
      continue;
    }
    if (IsHighSurrogate(unit) && i + 1 < units) {
      const char32_t low = data[2 * i + 2] | (static_cast<char32_t>(data[2 * i + 3]) << 8);
      if (IsLowSurrogate(low)) {
        out.push_back(static_cast<wchar_t>(0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00)));
        ++i;
        continue;
      }
    }
    out.push_back(
        static_cast<wchar_t>(IsHighSurrogate(unit) || IsLowSurrogate(unit) ? kReplacement : unit));
  }
  return out;
}

std::vector<uint8_t> WideToUtf16Le(const std::wstring& wide, bool withBom) {
  std::vector<uint8_t> out;
  out.reserve(wide.size() * 2 + 2);
  auto put = [&out](char32_t unit) {
    out.push_back(static_cast<uint8_t>(unit & 0xFF));
    out.push_back(static_cast<uint8_t>((unit >> 8) & 0xFF));
  };
  if (withBom) put(0xFEFF);
  if (kWideIsUtf16) {
    // Already UTF-16: keep every unit, even a lone surrogate, byte for byte.
    for (wchar_t c : wide) put(static_cast<char32_t>(c) & 0xFFFF);
    return out;
  }
  size_t i = 0;
  while (i < wide.size()) {
    char32_t cp = NextCodePoint(wide, i);
    if (cp > 0xFFFF) {
      cp -= 0x10000;
      put(0xD800 + (cp >> 10));
      put(0xDC00 + (cp & 0x3FF));
    } else {
      put(cp);
    }
  }
  return out;
}

std::wstring ToLowerAscii(std::wstring text) {
  for (wchar_t& c : text) c = LowerAscii(c);
  return text;
}

bool EqualsNoCase(const std::wstring& a, const std::wstring& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  }
  return true;
}

bool StartsWithNoCase(const std::wstring& text, const std::wstring& prefix) {
  return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

bool EndsWithNoCase(const std::wstring& text, const std::wstring& suffix) {
  return text.size() >= suffix.size() &&
         EqualsNoCase(text.substr(text.size() - suffix.size()), suffix);
}

bool ContainsNoCase(const std::wstring& text, const std::wstring& needle) {
  return ToLowerAscii(text).find(ToLowerAscii(needle)) != std::wstring::npos;
}

std::wstring TrimBlanks(const std::wstring& text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && IsBlank(text[begin])) ++begin;
  while (end > begin && IsBlank(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

std::vector<std::wstring> Split(const std::wstring& text, wchar_t sep, bool skipEmpty) {
  std::vector<std::wstring> parts;
  size_t start = 0;
  while (true) {
    const size_t pos = text.find(sep, start);
    std::wstring piece =
        text.substr(start, pos == std::wstring::npos ? std::wstring::npos : pos - start);
    if (!skipEmpty || !piece.empty()) parts.push_back(std::move(piece));
    if (pos == std::wstring::npos) break;
    start = pos + 1;
  }
  return parts;
}

std::wstring JoinPath(const std::wstring& folder, const std::wstring& relative) {
  if (folder.empty()) return relative;
  std::wstring path = folder;
  while (!path.empty() && (path.back() == L'\\' || path.back() == L'/')) path.pop_back();
  size_t skip = 0;
  while (skip < relative.size() && (relative[skip] == L'\\' || relative[skip] == L'/')) ++skip;
  return path + L"\\" + relative.substr(skip);
}

}  // namespace lum
