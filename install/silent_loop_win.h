// The message loop a silent run keeps on the main thread while its body works
// on a thread of its own. The window behind it (tray icon, log-off prompts)
// belongs to the interface, which lies above the install engine; the
// procedure knows only this much of it and is handed one by its caller.
#pragma once
#include <windows.h>

namespace lum {

class SilentLoop {
 public:
  // Posted to Window() by the body thread when the run has ended.
  static constexpr UINT kSilentDone = WM_USER + 2;  // 1026

  virtual ~SilentLoop() = default;
  // Makes the loop's window; `updatePrompts` turns on the tray icon and the
  // log-off/shutdown prompts. False when the window cannot be made.
  virtual bool Create(bool updatePrompts) = 0;
  // Runs the loop until it quits; returns the quit message's code.
  virtual int Run() = 0;
  virtual HWND Window() const = 0;
};

}  // namespace lum
