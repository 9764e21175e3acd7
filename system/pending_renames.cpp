#include "system/pending_renames.h"

#include "base/text.h"

namespace lum {

namespace {

constexpr const wchar_t* kNtPrefix = L"\\??\\";

// Reads the zero-terminated string at `*pos` (in UTF-16 units); false when
// the data ends before its zero.
bool ReadString(const uint8_t* data, size_t units, size_t* pos, std::wstring* out) {
  size_t end = *pos;
  while (end < units && (data[2 * end] | data[2 * end + 1]) != 0) ++end;
  if (end == units) return false;
  *out = Utf16LeToWide(data + 2 * *pos, 2 * (end - *pos));
  *pos = end + 1;
  return true;
}

}  // namespace

bool ParsePendingRenames(const uint8_t* data, size_t size, std::vector<PendingRename>* out) {
  out->clear();
  if (size % 2 != 0) return false;
  const size_t units = size / 2;
  std::vector<PendingRename> list;
  size_t pos = 0;
  while (pos < units) {
    PendingRename pair;
    if (!ReadString(data, units, &pos, &pair.source)) return false;
    if (pair.source.empty()) break;  // the closing zero
    if (!ReadString(data, units, &pos, &pair.destination)) return false;
    list.push_back(std::move(pair));
  }
  *out = std::move(list);
  return true;
}

std::vector<uint8_t> SerializePendingRenames(const std::vector<PendingRename>& list) {
  std::vector<uint8_t> bytes;
  auto append = [&bytes](const std::wstring& text) {
    const std::vector<uint8_t> utf16 = WideToUtf16Le(text, false);
    bytes.insert(bytes.end(), utf16.begin(), utf16.end());
    bytes.push_back(0);
    bytes.push_back(0);
  };
  for (const PendingRename& pair : list) {
    append(pair.source);
    append(pair.destination);
  }
  bytes.push_back(0);
  bytes.push_back(0);
  return bytes;
}

std::vector<std::wstring> RemoveFolderTempRenames(std::vector<PendingRename>* list,
                                                  const std::wstring& folder) {
  std::wstring prefix = folder;
  while (!prefix.empty() && (prefix.back() == L'\\' || prefix.back() == L'/')) prefix.pop_back();
  std::vector<std::wstring> removed;
  if (prefix.empty()) return removed;
  // The prefix ends at a folder boundary, so a sibling such as
  // "...\BastionOld\x.tmp" is not taken for a file of the install folder.
  prefix = kNtPrefix + prefix + L"\\";
  std::vector<PendingRename> kept;
  for (PendingRename& pair : *list) {
    if (StartsWithNoCase(pair.source, prefix) &&
        (EndsWithNoCase(pair.source, L".cab") || EndsWithNoCase(pair.source, L".tmp"))) {
      removed.push_back(pair.source);
    } else {
      kept.push_back(std::move(pair));
    }
  }
  *list = std::move(kept);
  return removed;
}

size_t RemovePendingSource(std::vector<PendingRename>* list, const std::wstring& path) {
  const size_t before = list->size();
  std::vector<PendingRename> kept;
  for (PendingRename& pair : *list) {
    if (!EqualsNoCase(StripNtPrefix(pair.source), path)) kept.push_back(std::move(pair));
  }
  *list = std::move(kept);
  return before - list->size();
}

size_t RemovePendingUnder(std::vector<PendingRename>* list, const std::wstring& folder) {
  std::wstring top = folder;
  while (!top.empty() && (top.back() == L'\\' || top.back() == L'/')) top.pop_back();
  if (top.empty()) return 0;
  const std::wstring inside = top + L"\\";
  const size_t before = list->size();
  std::vector<PendingRename> kept;
  for (PendingRename& pair : *list) {
    const std::wstring source = StripNtPrefix(pair.source);
    if (!EqualsNoCase(source, top) && !StartsWithNoCase(source, inside))
      kept.push_back(std::move(pair));
  }
  *list = std::move(kept);
  return before - list->size();
}

std::wstring StripNtPrefix(const std::wstring& path) {
  const std::wstring prefix = kNtPrefix;
  return path.compare(0, prefix.size(), prefix) == 0 ? path.substr(prefix.size()) : path;
}

}  // namespace lum
