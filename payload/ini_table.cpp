#include "payload/ini_table.h"

#include <algorithm>
#include <climits>

#include "base/text.h"

namespace lum {
namespace {

constexpr wchar_t kByteOrderMark = 0xFEFF;

// Trailing blanks, tabs and line ends are noise left by editors.
void TrimLineEnd(std::wstring& line) {
  size_t end = line.size();
  while (end > 0) {
    const wchar_t c = line[end - 1];
    if (c != L' ' && c != L'\t' && c != L'\r' && c != L'\n') break;
    --end;
  }
  line.resize(end);
}

// The resource is read as a terminated wide string: an odd last byte still
// forms a character (high byte zero) and the text ends at the first NUL.
std::wstring DecodeText(const uint8_t* data, size_t size) {
  std::wstring text = Utf16LeToWide(data, size);
  if (size % 2 != 0) text.push_back(static_cast<wchar_t>(data[size - 1]));
  const size_t nul = text.find(L'\0');
  if (nul != std::wstring::npos) text.resize(nul);
  if (!text.empty() && text[0] == kByteOrderMark) text.erase(0, 1);
  return text;
}

bool IsSpace(wchar_t c) { return c == L' ' || (c >= L'\t' && c <= L'\r'); }

}  // namespace

bool IniTable::Parse(const uint8_t* data, size_t size) {
  Clear();
  if (data == nullptr || size + 1 > kMaxBytes) return false;

  const std::wstring text = DecodeText(data, size);
  std::vector<std::wstring> lines = Split(text, L'\n', false);
  // Every piece but the last ended at a line feed; the last is kept as it
  // stands, and only when something follows the final line feed.
  for (size_t i = 0; i + 1 < lines.size(); ++i) TrimLineEnd(lines[i]);
  if (!lines.empty() && lines.back().empty()) lines.pop_back();

  std::wstring current;
  for (const std::wstring& line : lines) {
    const size_t close = line.find(L']');
    if (!line.empty() && line[0] == L'[' && close != std::wstring::npos) {
      current = line.substr(1, close - 1);
      // A repeated header continues the same section, so it is listed once;
      // the empty name is listed only when a "[]" header names it.
      if (std::find(order_.begin(), order_.end(), current) == order_.end()) {
        order_.push_back(current);
      }
      sections_[current];
      continue;
    }
    const size_t eq = line.find(L'=');
    if (eq == std::wstring::npos) continue;  // comments need no marker
    sections_[current][line.substr(0, eq)] = line.substr(eq + 1);
  }
  return !order_.empty();
}

std::wstring IniTable::Value(const std::wstring& section, const std::wstring& key,
                             const std::wstring& def) const {
  const auto s = sections_.find(section);
  if (s == sections_.end()) return def;
  const auto k = s->second.find(key);
  return k == s->second.end() ? def : k->second;
}

int IniTable::IntValue(const std::wstring& section, const std::wstring& key, int def) const {
  if (!Contains(section, key)) return def;
  return ParseDecimal(Value(section, key));
}

bool IniTable::Section(const std::wstring& name, KeyMap& out) const {
  const auto s = sections_.find(name);
  if (s == sections_.end()) return false;
  out = s->second;
  return true;
}

bool IniTable::HasSection(const std::wstring& name) const {
  return sections_.find(name) != sections_.end();
}

bool IniTable::Contains(const std::wstring& section, const std::wstring& key) const {
  const auto s = sections_.find(section);
  return s != sections_.end() && s->second.find(key) != s->second.end();
}

void IniTable::Clear() {
  order_.clear();
  sections_.clear();
}

int ParseDecimal(const std::wstring& text) {
  size_t i = 0;
  while (i < text.size() && IsSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) negative = text[i++] == L'-';
  // Accumulate with headroom and clamp, as the C runtime does on overflow.
  long long value = 0;
  for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
    value = value * 10 + (text[i] - L'0');
    if (value > static_cast<long long>(INT_MAX) + 1) value = static_cast<long long>(INT_MAX) + 1;
  }
  if (negative) value = -value;
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

}  // namespace lum
