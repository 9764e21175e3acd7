#include "report/document_version.h"

#include "base/text.h"
#include "report/report_envelope.h"

namespace lum {

namespace {

constexpr size_t kLongestVersion = 32;

bool VersionCharacter(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == ' ' ||
         c == '.' || c == '-' || c == '_' || c == ':' || c == '/';
}

bool Blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

}  // namespace

std::wstring DocumentVersionUrl(const std::wstring& statsBase, const wchar_t* document,
                                const std::wstring& language, const std::wstring& channel) {
  const auto encoded = [](const std::wstring& value) {
    return Utf8ToWide(UrlEncodeReport(WideToUtf8(value)));
  };
  return statsBase + L"legal/version?doc=" + document + L"&lang=" + encoded(language) +
         L"&ch=" + encoded(channel);
}

std::wstring DocumentVersionFromAnswer(const std::string& body) {
  size_t begin = 0, end = body.size();
  while (begin < end && Blank(body[begin])) ++begin;
  while (end > begin && Blank(body[end - 1])) --end;
  if (end == begin || end - begin > kLongestVersion) return std::wstring();
  std::wstring text;
  for (size_t i = begin; i < end; ++i) {
    if (!VersionCharacter(body[i])) return std::wstring();
    text.push_back(static_cast<wchar_t>(body[i]));
  }
  return text;
}

}  // namespace lum
