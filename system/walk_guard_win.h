// Where a recursive delete, move or copy of the installer may start. The
// entries inside a walk are judged one by one (link_rule.h); this judges the
// way to its top, since a standard user can replace any folder he may write
// to with a link and so send an elevated walk into any folder he names.
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

// Reads every folder on the way to `path` below its volume root without
// following any of them (each is read before the one below it, so the first
// link found is where the way leaves the path's own folders).
WalkCheck CheckWalkStart(const std::wstring& path);

// CheckWalkStart, and for a refusal a line in the log under `category`
// ("<what> refused: link on the way", with the link, or the path when it
// cannot be checked). True when the walk may go (kClear).
bool MayWalk(const char* category, const std::wstring& what, const std::wstring& path,
             WalkCheck* check = nullptr);

}  // namespace lum
