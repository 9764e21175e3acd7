// The end of an install: the restart prompt when a restart is needed, then
// the product start. A silent run never prompts: the restart is left to the
// administrator, and the product starts only when asked for ("/show").
#pragma once
#include <windows.h>

namespace lum {

// `window` is the main window (null in a silent run); `code` the run's result.
void OfferRestart(HWND window, int code);

// The interface's "NEED_REBOOT" prompt (true = restart now). The interface
// registers it before its window runs; without one an interactive run
// offers no restart now and leaves it for later.
using RestartPrompt = bool (*)(HWND owner);
void SetRestartPrompt(RestartPrompt prompt);

}  // namespace lum
