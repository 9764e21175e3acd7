#include "tray/service_image.h"

#include "base/text.h"

namespace lum {
namespace tray {

bool IsServiceImageOf(const std::wstring& image, const std::wstring& installFolder) {
  if (installFolder.empty()) return false;
  std::wstring expected = installFolder;
  if (expected.back() != L'\\' && expected.back() != L'/') expected += L'\\';
  return EqualsNoCase(image, expected + kServiceImage);
}

}  // namespace tray
}  // namespace lum
