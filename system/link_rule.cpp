#include "system/link_rule.h"

namespace lum {

bool IsLink(uint32_t attributes) {
  return attributes != kAttributesInvalid && (attributes & kAttributeReparsePoint) != 0;
}

TreeEntry ClassifyTreeEntry(uint32_t attributes) {
  if (IsLink(attributes)) return TreeEntry::kLink;
  if (attributes != kAttributesInvalid && (attributes & kAttributeDirectory) != 0)
    return TreeEntry::kFolder;
  return TreeEntry::kFile;
}

std::vector<std::wstring> PathsOnTheWay(const std::wstring& base, const std::wstring& relative) {
  std::vector<std::wstring> paths;
  std::wstring path = base;
  while (!path.empty() && (path.back() == L'\\' || path.back() == L'/')) path.pop_back();
  paths.push_back(path);
  size_t start = 0;
  while (start <= relative.size()) {
    size_t end = relative.find_first_of(L"\\/", start);
    if (end == std::wstring::npos) end = relative.size();
    if (end > start) {
      path += L"\\" + relative.substr(start, end - start);
      paths.push_back(path);
    }
    start = end + 1;
  }
  return paths;
}

}  // namespace lum
