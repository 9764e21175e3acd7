#include "system/desktop_listing.h"

#include "base/text.h"

namespace lum {

bool NamesAreOnlyShortcuts(const std::vector<std::wstring>& names) {
  for (const std::wstring& name : names) {
    if (name == L"." || name == L"..") continue;
    if (ContainsNoCase(name, L"desktop.ini") || ContainsNoCase(name, L".lnk")) continue;
    return false;
  }
  return true;
}

}  // namespace lum
