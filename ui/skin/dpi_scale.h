// Display scaling: every length of the interface is written at 96 DPI and
// scaled at run time. Portable arithmetic; the Win32 side reads the screen's
// DPI once (dpi_scale_win.h).
#pragma once

namespace lum {

// MulDiv of Win32: a * b / c rounded half away from zero, -1 when c is 0.
int MulDivRound(int a, int b, int c);

class DpiScale {
 public:
  static constexpr int kDesignDpi = 96;

  // On Windows XP the interface is never scaled; otherwise `dpi` (96 when
  // not positive) sets the percent, and scaling is active unless it is 100.
  void Initialise(bool windowsXp, int dpi);

  int Scale(int n) const { return (!active_ || percent_ == 100) ? n : MulDivRound(n, percent_, 100); }
  // A pixel size at 96 DPI as a negative font height at the current DPI (the
  // points are truncated: 14 px is 10 pt, 18 px is 13 pt).
  int FontHeight(int px) const { return -MulDivRound(px * 72 / 96, dpi_, 72); }
  // Resizes an image drawn for `designDpi` to the current DPI: both sides by
  // current percent / design percent, clamped to the maxima when positive,
  // the width rounded up to a multiple of `frames`. True when a resize is
  // needed (only while active, or when forced).
  bool ScaleImageSize(int* width, int* height, int designDpi, int frames, int maxWidth = 0,
                      int maxHeight = 0, bool force = false) const;

  int Percent() const { return percent_; }
  int Dpi() const { return dpi_; }
  bool Active() const { return active_; }

 private:
  int percent_ = 100;
  int dpi_ = kDesignDpi;
  bool active_ = false;
};

}  // namespace lum
