// The press-and-release behaviour shared by the skin's clickable controls:
// button down captures the mouse, the command is sent when the capture ends
// while the mouse is still over the control, so a release outside sends
// nothing.
#pragma once
#include "ui/skin/som_wnd_win.h"

namespace lum {

struct SomPressState {
  bool hover = false;
  bool pressed = false;

  // Four-state strip index: normal, hover, pressed, disabled.
  int Frame(const CSomWnd& w) const {
    if (!w.IsEnabled()) return 3;
    if (hover) return pressed ? 2 : 1;
    return 0;
  }
  bool Down(CSomWnd& w) {
    if (!pressed) {
      pressed = true;
      w.Invalidate();
    }
    if (w.Manager()) w.Manager()->CaptureWnd(&w);
    return true;
  }
  bool Up(CSomWnd& w) {
    if (pressed && w.Manager()) w.Manager()->ReleaseWnd(&w);
    return true;
  }
  // True when the press ended over the control (a click), and the control
  // still takes clicks: one disabled while pressed sends nothing.
  bool CaptureLost(CSomWnd& w) {
    if (!pressed) return false;
    pressed = false;
    w.Invalidate();
    return hover && w.IsEnabled();
  }
  void Enter(CSomWnd& w) {
    hover = true;
    w.Invalidate();
  }
  void Leave(CSomWnd& w) {
    hover = false;
    w.Invalidate();
  }
};

}  // namespace lum
