// The progress page's bar: a grey track and a green fill of the same size,
// two windowless image children of the host. The fill starts out of sight
// left of the track and slides right; it is stacked above the track in every
// paint, also when the host repaints its whole client area.
//
// Threading: the host window's thread only.
#pragma once
#include <windows.h>

#include "ui/skin/som_wnd_manager_win.h"

namespace lum {

class C2LayerProgressBar {
 public:
  static constexpr int kTrackImage = 10016;
  static constexpr int kFillImage = 10017;
  static constexpr int kTrackImageHiDpi = 20016;
  static constexpr int kFillImageHiDpi = 20017;

  C2LayerProgressBar();
  ~C2LayerProgressBar();

  // Loads both images and creates the track, then the fill, hidden and
  // auto-sized, as children of `manager` (whose host is `host`).
  bool Create(CSomWndManager* manager, HWND host, int trackId, int fillId, int trackHiDpiId,
              int fillHiDpiId);
  void SetPos(int x, int y);
  void Show(bool show);
  // 0..100; values outside are clamped.
  void SetPercent(int percent);

  // For the window's layout and its tests.
  int Y() const { return y_; }
  RECT TrackBounds() const;
  RECT FillBounds() const;

 private:
  struct Parts;
  Parts* parts_;
  HWND host_ = nullptr;
  int x_ = 0;
  int y_ = 0;
};

}  // namespace lum
