#include "system/walk_guard_win.h"

#include <windows.h>

#include "base/install_log.h"
#include "system/link_rule.h"

namespace lum {

WalkCheck CheckWalkStart(const std::wstring& path) {
  WalkCheck check;
  const std::vector<std::wstring> folders = FoldersOnTheWay(path);
  if (folders.empty()) return check;
  for (size_t i = 0; i < folders.size(); ++i) {
    // GetFileAttributesW reads a link's own attributes; the folders above it
    // were read first and were none.
    if (!IsLink(::GetFileAttributesW(folders[i].c_str()))) continue;
    check.link = folders[i];
    check.start = i + 1 == folders.size() ? WalkStart::kTopIsLink : WalkStart::kRefused;
    return check;
  }
  check.start = WalkStart::kClear;
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
