#include "i18n/rich_text_markup.h"

#include "base/text.h"

namespace lum {

namespace {

// wcstol/wcstoul in one: optional blanks and sign, digits of `base` as far as
// they go, saturating at the 32-bit range, 0 when nothing is readable.
int64_t ReadNumber(const std::wstring& text, size_t at, int base, bool allowSign) {
  while (at < text.size() && (text[at] == L' ' || text[at] == L'\t')) ++at;
  bool negative = false;
  if (allowSign && at < text.size() && (text[at] == L'-' || text[at] == L'+'))
    negative = text[at++] == L'-';
  int64_t value = 0;
  for (; at < text.size(); ++at) {
    const wchar_t c = text[at];
    int digit;
    if (c >= L'0' && c <= L'9') {
      digit = c - L'0';
    } else if (base == 16 && c >= L'a' && c <= L'f') {
      digit = c - L'a' + 10;
    } else if (base == 16 && c >= L'A' && c <= L'F') {
      digit = c - L'A' + 10;
    } else {
      break;
    }
    if (digit >= base) break;
    if (value <= 0xFFFFFFFFLL) value = value * base + digit;
  }
  return negative ? -value : value;
}

int32_t Clamp32(int64_t v) {
  if (v > INT32_MAX) return INT32_MAX;
  if (v < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(v);
}

template <typename T>
struct Stack {
  explicit Stack(T base) : items{base} {}
  void Push(const T& v) { items.push_back(v); }
  void Pop() {
    if (items.size() > 1) items.pop_back();
  }
  T Top() const { return items.back(); }
  std::vector<T> items;
};

bool TakePrefix(const std::wstring& body, const wchar_t* prefix, std::wstring* rest) {
  if (!StartsWithNoCase(body, prefix)) return false;
  if (rest) *rest = body.substr(std::wstring(prefix).size());
  return true;
}

}  // namespace

int32_t ParseMarkupColor(const std::wstring& value) {
  if (!value.empty() && value[0] == L'#') return Clamp32(ReadNumber(value, 1, 16, false));
  if (value.size() >= 2 && value[0] == L'0' && (value[1] == L'x' || value[1] == L'X'))
    return Clamp32(ReadNumber(value, 2, 16, false));
  return Clamp32(ReadNumber(value, 0, 10, true));
}

bool LinkCommand(const std::wstring& target, uint32_t* command) {
  std::wstring rest;
  if (!TakePrefix(target, L"button:", &rest)) return false;
  int64_t n;
  if (rest.size() >= 2 && rest[0] == L'0' && (rest[1] == L'x' || rest[1] == L'X'))
    n = ReadNumber(rest, 2, 16, false);
  else
    n = ReadNumber(rest, 0, 10, true);
  if (command) *command = static_cast<uint32_t>(n);
  return true;
}

std::vector<MarkupRun> ParseMarkup(const std::wstring& markup) {
  Stack<std::wstring> links(L"");
  Stack<int32_t> linkColors(-1);
  Stack<int32_t> colors(-1);
  Stack<int> fonts(-1);
  Stack<bool> underlines(false);
  std::vector<MarkupRun> runs;
  std::wstring pending;

  const auto flush = [&] {
    if (pending.empty()) return;
    MarkupRun run;
    run.text.swap(pending);
    run.link = links.Top();
    run.color = run.link.empty() ? colors.Top() : linkColors.Top();
    run.font = fonts.Top();
    run.underline = underlines.Top();
    runs.push_back(std::move(run));
  };

  size_t at = 0;
  while (at < markup.size()) {
    if (markup.compare(at, 3, L"{&#") == 0) {
      const size_t close = markup.find(L'}', at + 3);
      if (close != std::wstring::npos) {
        flush();
        const std::wstring body = markup.substr(at + 3, close - at - 3);
        std::wstring value;
        // Longer prefixes first: "/acolor" also starts with "/a".
        if (TakePrefix(body, L"acolor=", &value)) {
          linkColors.Push(ParseMarkupColor(value));
        } else if (TakePrefix(body, L"/acolor", nullptr)) {
          linkColors.Pop();
        } else if (TakePrefix(body, L"a=", &value)) {
          links.Push(value);
        } else if (TakePrefix(body, L"/a", nullptr)) {
          links.Pop();
        } else if (TakePrefix(body, L"underline", nullptr)) {
          underlines.Push(true);
        } else if (TakePrefix(body, L"/underline", nullptr)) {
          underlines.Pop();
        } else if (TakePrefix(body, L"font=", &value)) {
          const int64_t n = ReadNumber(value, 0, 10, true);
          if (n >= 1 && n <= 10) fonts.Push(static_cast<int>(n - 1));
        } else if (TakePrefix(body, L"/font", nullptr)) {
          fonts.Pop();
        } else if (TakePrefix(body, L"color=", &value)) {
          colors.Push(ParseMarkupColor(value));
        } else if (TakePrefix(body, L"/color", nullptr)) {
          colors.Pop();
        }
        at = close + 1;
        continue;
      }
    }
    pending += markup[at++];
  }
  flush();
  return runs;
}

}  // namespace lum
