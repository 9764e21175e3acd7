#include "system/uninstall_marker.h"

#include <cstdint>
#include <vector>

#include "base/md5.h"
#include "base/text.h"

namespace lum {

std::wstring UninstallMarkerName(const std::wstring& installFolder) {
  const std::vector<uint8_t> bytes = WideToUtf16Le(installFolder, false);
  uint8_t digest[16];
  if (!Md5(bytes.data(), bytes.size(), digest)) return std::wstring();
  static const wchar_t kHex[] = L"0123456789abcdef";
  std::wstring name = std::wstring(kUninstallMarkerBase) + L"_";
  for (size_t i = 0; i < sizeof digest; ++i) {
    name += kHex[digest[i] >> 4];
    name += kHex[digest[i] & 0xF];
  }
  return name;
}

}  // namespace lum
