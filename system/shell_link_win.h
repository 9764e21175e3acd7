// Shell links and the folders they go to: creating one ".lnk" file, and the
// special folders of the shortcut pass. Every link written is logged.
//
// Threading: COM must be initialised on the calling thread (the install
// worker and the silent body thread do so).
#pragma once
#include <string>

namespace lum {

// A shell link at `linkFile` to `target` with `arguments` (none when empty),
// show command 5, the target's folder as working folder, and the icon
// (target, iconIndex) only when iconIndex > 0. The link is made in memory
// and written as a new file relative to its folder, which is opened by
// handle without a link on its way (a user's Programs folder or Desktop is
// his to fill with links): what was at that name goes first, a link as a
// link. False, and no file, on any failure (a link on the way is logged as
// "create shortcut to ... refused: link on the way").
bool CreateShortcut(const std::wstring& target, const std::wstring& linkFile,
                    const std::wstring& arguments, int iconIndex);

// The special folder `csidl` (CSIDL_COMMON_PROGRAMS, CSIDL_PROGRAMS, ...),
// created when missing; empty when Windows cannot name it.
std::wstring SpecialFolder(int csidl);

// The current user's desktop holds nothing but shortcuts (names containing
// ".lnk") and "desktop.ini"; false when it holds anything else or cannot be
// listed.
bool DesktopHasOnlyShortcuts();

}  // namespace lum
