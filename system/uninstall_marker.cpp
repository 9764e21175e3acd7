#include "system/uninstall_marker.h"

#include <openssl/evp.h>

#include <cstdint>
#include <vector>

#include "base/text.h"

namespace lum {

std::wstring UninstallMarkerName(const std::wstring& installFolder) {
  const std::vector<uint8_t> bytes = WideToUtf16Le(installFolder, false);
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  static const uint8_t kEmpty = 0;
  if (EVP_Digest(bytes.empty() ? &kEmpty : bytes.data(), bytes.size(), digest, &length, EVP_md5(),
                 nullptr) != 1 ||
      length != 16)
    return std::wstring();
  static const wchar_t kHex[] = L"0123456789abcdef";
  std::wstring name = std::wstring(kUninstallMarkerBase) + L"_";
  for (unsigned int i = 0; i < length; ++i) {
    name += kHex[digest[i] >> 4];
    name += kHex[digest[i] & 0xF];
  }
  return name;
}

}  // namespace lum
