// The rule every recursive walk of the installer follows: a reparse point (a
// junction, a symbolic link, a mount point) is never followed. It is removed
// as a link, or, on the way to a file the installer would read or move, it
// makes that path unusable. A standard user can create such links in folders
// the elevated installer later deletes or reads from. Portable.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace lum {

constexpr uint32_t kAttributeDirectory = 0x10;      // FILE_ATTRIBUTE_DIRECTORY
constexpr uint32_t kAttributeReparsePoint = 0x400;  // FILE_ATTRIBUTE_REPARSE_POINT
constexpr uint32_t kAttributesInvalid = 0xFFFFFFFFu;

// What a recursive delete does with one entry, from its attributes.
enum class TreeEntry {
  kFolder,  // a real folder: walk into it
  kLink,    // a reparse point of any kind: remove the link itself, never its target
  kFile,    // a plain file: delete it
};
TreeEntry ClassifyTreeEntry(uint32_t attributes);

// A reparse point (the invalid-attributes answer of a missing entry is not).
bool IsLink(uint32_t attributes);

// The paths a read below `base` passes: `base` itself, each folder of
// `relative` below it, and the file: "B", "a\b\f" -> {"B", "B\a", "B\a\b",
// "B\a\b\f"}. Separators '\' and '/'; empty steps are left out.
std::vector<std::wstring> PathsOnTheWay(const std::wstring& base, const std::wstring& relative);

// The folders a walk starting at the full path `path` passes below its
// volume root, `path` itself last: "C:\a\b" -> {"C:\a", "C:\a\b"}; also
// for "\\server\share\..." and the "\\?\" forms. Empty for a path that
// names nothing below a volume root (relative, drive-relative, a root alone)
// or steps through "." or "..": no walk may start there, since where it
// would go cannot be checked step by step.
std::vector<std::wstring> FoldersOnTheWay(const std::wstring& path);

}  // namespace lum
