// The system's list of file operations performed at the next restart
// ("PendingFileRenameOperations", REG_MULTI_SZ), as pure functions over the
// value's UTF-16LE bytes so that the parsing and the purge rule are tested
// without a registry.
//
// Layout: pairs of zero-terminated strings (source, destination), NT paths
// ("\??\C:\..."); an empty destination means "delete"; a destination that
// begins with '!' replaces an existing file. One more zero closes the list.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace lum {

struct PendingRename {
  std::wstring source;
  std::wstring destination;  // empty = delete at restart
};

// Parses the value. An empty value (or one empty string) is an empty list;
// the list ends at the first empty source or at the end of the data. False
// for malformed data (odd size, a string without its terminating zero, a
// source without a destination); `out` is then left empty.
bool ParsePendingRenames(const uint8_t* data, size_t size, std::vector<PendingRename>* out);
// The value's bytes: each string with its zero, then the closing zero.
std::vector<uint8_t> SerializePendingRenames(const std::vector<PendingRename>& list);

// Takes out of `list` every pair whose source lies inside `folder`
// ("\??\" + folder, compared case-insensitively) and ends in ".cab" or
// ".tmp"; the other pairs keep their order. Returns the removed sources.
std::vector<std::wstring> RemoveFolderTempRenames(std::vector<PendingRename>* list,
                                                  const std::wstring& folder);

// Takes out of `list` every pair whose source is `path` (a Win32 path,
// compared without the NT prefix and without regard to case); the others
// keep their order. Returns how many were taken out.
size_t RemovePendingSource(std::vector<PendingRename>* list, const std::wstring& path);

// Takes out of `list` every pair whose source is `folder` or lies inside
// it (Win32 path, compared without the NT prefix and without regard to
// case; a sibling that only begins with the same letters stays). The others
// keep their order. Returns how many were taken out.
size_t RemovePendingUnder(std::vector<PendingRename>* list, const std::wstring& folder);

// "\??\C:\x" -> "C:\x"; other text unchanged.
std::wstring StripNtPrefix(const std::wstring& path);

}  // namespace lum
