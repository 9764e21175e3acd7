// Where a recursive delete, move or copy of the installer may start. The
// entries inside a walk are judged one by one (link_rule.h); this judges the
// way to its top, since a standard user can replace any folder he may write
// to with a link and so send an elevated walk into any folder he names.
// The check opens the way by handle (handle_tree_win.h), so what it answers
// is true of the folders as they were opened; a caller that then works by
// path in a folder a standard user can write to still races him, and uses
// handle_tree_win.h's operations instead (every recursive delete does).
#pragma once
#include <string>

namespace lum {

enum class WalkStart {
  kClear,      // no link anywhere on the way: the walk may go
  kTopIsLink,  // only the top itself is a link: it may go as a link, nothing below it
  kRefused,    // a link above the top, or a path that cannot be checked step by step
};

struct WalkCheck {
  WalkStart start = WalkStart::kRefused;
  std::wstring link;  // the first link on the way, when there is one
};

// Opens every folder on the way to `path` below its volume root relative to
// the one above it, without following any of them (the first link found is
// where the way leaves the path's own folders). A way that ends at a folder
// that does not exist yet is clear; one that cannot be opened is refused.
WalkCheck CheckWalkStart(const std::wstring& path);

// CheckWalkStart, and for a refusal a line in the log under `category`
// ("<what> refused: link on the way", with the link, or the path when it
// cannot be checked). True when the walk may go (kClear).
bool MayWalk(const char* category, const std::wstring& what, const std::wstring& path,
             WalkCheck* check = nullptr);

}  // namespace lum
