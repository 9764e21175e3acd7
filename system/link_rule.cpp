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

namespace {

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

bool IsDriveRoot(const std::wstring& path, size_t at) {
  return path.size() >= at + 3 && ((path[at] >= L'A' && path[at] <= L'Z') ||
                                   (path[at] >= L'a' && path[at] <= L'z')) &&
         path[at + 1] == L':' && IsSeparator(path[at + 2]);
}

// The end of the "\\server\share" part that starts at `at`; 0 when the
// server or the share is missing.
size_t ShareEnd(const std::wstring& path, size_t at) {
  const size_t server = path.find_first_of(L"\\/", at);
  if (server == at || server == std::wstring::npos) return 0;
  const size_t share = path.find_first_of(L"\\/", server + 1);
  if (share == server + 1) return 0;
  return share == std::wstring::npos ? path.size() : share;
}

// The length of the volume part of `path` (the drive or the share, without
// the separator after it); 0 when `path` is not a full path.
size_t VolumeLength(const std::wstring& path) {
  if (IsDriveRoot(path, 0)) return 2;
  if (path.size() < 2 || !IsSeparator(path[0]) || !IsSeparator(path[1])) return 0;
  if (path.compare(0, 4, L"\\\\?\\") == 0) {
    if (IsDriveRoot(path, 4)) return 6;
    if (path.size() > 8 && (path.compare(4, 4, L"UNC\\") == 0 || path.compare(4, 4, L"unc\\") == 0))
      return ShareEnd(path, 8);
    return 0;
  }
  return ShareEnd(path, 2);
}

}  // namespace

std::vector<std::wstring> FoldersOnTheWay(const std::wstring& path) {
  const size_t volume = VolumeLength(path);
  if (volume == 0) return {};
  const std::wstring rest = path.substr(volume);
  size_t start = 0;
  while (start < rest.size()) {
    size_t end = rest.find_first_of(L"\\/", start);
    if (end == std::wstring::npos) end = rest.size();
    const std::wstring step = rest.substr(start, end - start);
    if (step == L"." || step == L"..") return {};
    start = end + 1;
  }
  std::vector<std::wstring> folders = PathsOnTheWay(path.substr(0, volume), rest);
  folders.erase(folders.begin());
  return folders;
}

}  // namespace lum
