#include "install/shortcut_names.h"

#include "base/text.h"

namespace lum {

bool IsPlainShortcutName(const std::wstring& name) {
  const std::wstring trimmed = TrimBlanks(name);
  if (trimmed.empty() || trimmed == L"." || trimmed == L"..") return false;
  return name.find_first_of(L"\\/:") == std::wstring::npos;
}

bool IsMenuSubPath(const std::wstring& path) {
  if (path.empty()) return false;
  for (const std::wstring& part : Split(path, L'\\', false))
    if (!IsPlainShortcutName(part)) return false;
  return true;
}

}  // namespace lum
