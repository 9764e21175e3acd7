// The log a silent run writes when it is given no "/log:": a new file in
// the user's %TEMP%.
//
// %TEMP% is the user's: he may point it, or a folder above it, at a link
// while the elevated run starts. So the folder is reached by handle with no
// link on its way (handle_tree_win.h) and the log is created new relative to
// that handle; a link on the way means no log file (the lines stay in the
// log's bounded buffer), never a file made where the link leads.
//
// Threading: the main thread, at start-up.
#pragma once

namespace lum {

// Opens log::DefaultSilentLogPath() (or the first free numbered name beside
// it) as the log. False when the folder cannot be reached without a link or
// no name is free; the refusal is logged.
bool OpenDefaultSilentLog();

}  // namespace lum
