#include "report/url_signature.h"

#include <openssl/evp.h>

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
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (EVP_Digest(bare.data(), bare.size(), digest, &length, EVP_sha1(), nullptr) != 1 ||
      length != 20)
    return std::wstring();
  static const wchar_t kHex[] = L"0123456789abcdef";
  std::wstring hex;
  for (unsigned int i = 0; i < length; ++i) {
    const unsigned char b = digest[i];
    hex += kHex[b >> 4];
    hex += kHex[b & 15];
  }
  return url + L"&toat=v1&madt=" + hex.substr(8, 24);
}

}  // namespace lum
