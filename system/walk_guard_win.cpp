#include "system/walk_guard_win.h"

#include <windows.h>

#include "base/install_log.h"
#include "system/handle_tree_win.h"
#include "system/link_rule.h"

namespace lum {

WalkCheck CheckWalkStart(const std::wstring& path) {
  WalkCheck check;
  if (FoldersOnTheWay(path).empty()) return check;
  // Each folder is opened relative to the one above it and judged on its
  // handle, so the first link found is where the way leaves the path's own
  // folders; a folder that does not exist yet ends the way with nothing
  // followed.
  UniqueHandle folder;
  const WayResult way = OpenFolderNoLinks(path, &folder);
  switch (way.open) {
    case WayOpen::kOpened:
    case WayOpen::kMissing:
      check.start = WalkStart::kClear;
      break;
    case WayOpen::kTopIsLink:
      check.start = WalkStart::kTopIsLink;
      check.link = way.at;
      break;
    case WayOpen::kLinkOnWay:
      check.link = way.at;
      break;
    case WayOpen::kNotFullPath:
    case WayOpen::kFailed:
      break;
  }
  return check;
}

bool MayWalk(const char* category, const std::wstring& what, const std::wstring& path,
             WalkCheck* check) {
  WalkCheck local = CheckWalkStart(path);
  const bool clear = local.start == WalkStart::kClear;
  if (!clear) {
    const bool linked = !local.link.empty();
    log::Action(category,
                what + (linked ? L" refused: link on the way" : L" refused: not a full path"),
                linked ? local.link : path, ERROR_CANT_ACCESS_FILE);
  }
  if (check) *check = local;
  return clear;
}

}  // namespace lum
