// What the run does when a program it is about to start through the shell is
// missing (system/shell_start_win.h): an interactive run shows the damaged-file
// message in the installed product's language, a silent one only logs it; both
// send the statistics event unless the user left the experience programme.
#pragma once
#include <string>

namespace lum {

void OnMissingProgram(const std::wstring& program);

}  // namespace lum
