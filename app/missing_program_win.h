// What the run does when a program it is about to start through the shell is
// missing (system/shell_start_win.h): an interactive run shows the damaged-file
// message in the installed product's language, a silent one only logs it; both
// send the statistics event unless the user left the experience programme.
#pragma once
#include <string>

namespace lum {

// The message box belongs to the interface thread (the skin's fonts, images
// and drawing surfaces are that thread's alone). Called on another thread, it
// posts the message there and returns: the start has already failed, and an
// install worker that waited on a user's answer could meet an interface
// thread that waits on the worker.
void OnMissingProgram(const std::wstring& program);

// Makes the calling thread the one that shows the message: a message-only
// window of this thread receives it. Interactive runs, on the main thread,
// before the install worker starts.
bool ShowMissingProgramOnThisThread();

}  // namespace lum
