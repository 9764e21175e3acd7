#include "report/url_signature.h"

#include <cstdint>

#include "base/sha1.h"
#include "base/text.h"

namespace lum {

std::wstring SignReportUrl(const std::wstring& url, const std::string& suffix) {
  if (url.compare(0, 4, L"http") != 0) return url;
  std::string bare = WideToUtf8(url);
  for (const char* scheme : {"http://", "https://"}) {
    const std::string prefix(scheme);
    if (bare.compare(0, prefix.size(), prefix) == 0) {
      bare.erase(0, prefix.size());
      break;
    }
  }
  bare += suffix;
  uint8_t digest[20];
  if (!Sha1(bare.data(), bare.size(), digest)) return std::wstring();
  static const wchar_t kHex[] = L"0123456789abcdef";
  std::wstring hex;
  for (size_t i = 0; i < sizeof digest; ++i) {
    const uint8_t b = digest[i];
    hex += kHex[b >> 4];
    hex += kHex[b & 15];
  }
  return url + L"&toat=v1&madt=" + hex.substr(8, 24);
}

}  // namespace lum
