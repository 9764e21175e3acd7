#include "payload/item_path.h"

#include <vector>

namespace lum {
namespace {

// Windows opens the device, not a file in the folder, for these names, with
// or without an extension.
bool IsReservedDeviceName(const std::wstring& component) {
  std::wstring base = component.substr(0, component.find(L'.'));
  while (!base.empty() && base.back() == L' ') base.pop_back();
  for (wchar_t& c : base) {
    if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
  }
  static const wchar_t* const kNames[] = {L"CON",    L"PRN",     L"AUX",   L"NUL",
                                          L"CONIN$", L"CONOUT$", L"CLOCK$"};
  for (const wchar_t* name : kNames) {
    if (base == name) return true;
  }
  if (base.size() == 4 && (base.compare(0, 3, L"COM") == 0 || base.compare(0, 3, L"LPT") == 0)) {
    return base[3] >= L'1' && base[3] <= L'9';
  }
  return false;
}

bool IsForbiddenChar(wchar_t c) {
  if (c < 0x20) return true;
  switch (c) {
    case L'<':
    case L'>':
    case L'"':
    case L'|':
    case L'?':
    case L'*':
    case L':':
      return true;
    default:
      return false;
  }
}

// Only dots and spaces: "..", "...", ". ." all resolve to the parent or the
// folder itself once Windows trims trailing dots and spaces.
bool IsDotsAndSpaces(const std::wstring& component) {
  for (wchar_t c : component) {
    if (c != L'.' && c != L' ') return false;
  }
  return true;
}

}  // namespace

bool SanitizeItemPath(const std::wstring& path, std::wstring& out) {
  out.clear();
  if (path.empty()) return false;
  const wchar_t first = path[0];
  if (first == L'\\' || first == L'/') return false;  // rooted, UNC or device

  std::vector<std::wstring> components;
  std::wstring current;
  auto take = [&]() -> bool {
    if (current.empty() || current == L".") {
      current.clear();
      return true;
    }
    if (IsDotsAndSpaces(current) || IsReservedDeviceName(current)) return false;
    components.push_back(current);
    current.clear();
    return true;
  };
  for (wchar_t c : path) {
    if (c == L'\\' || c == L'/') {
      if (!take()) return false;
    } else if (IsForbiddenChar(c)) {
      return false;
    } else {
      current.push_back(c);
    }
  }
  if (!take() || components.empty()) return false;

  for (size_t i = 0; i < components.size(); ++i) {
    if (i != 0) out.push_back(L'\\');
    out += components[i];
  }
  return true;
}

uint32_t MaskItemAttributes(uint32_t attributes) {
  constexpr uint32_t kReadOnly = 0x1, kHidden = 0x2, kSystem = 0x4, kArchive = 0x20, kNormal = 0x80,
                     kTemporary = 0x100, kOffline = 0x1000, kNotContentIndexed = 0x2000;
  return attributes & (kReadOnly | kHidden | kSystem | kArchive | kNormal | kTemporary | kOffline |
                       kNotContentIndexed);
}

}  // namespace lum
