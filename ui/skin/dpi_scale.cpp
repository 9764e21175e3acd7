#include "ui/skin/dpi_scale.h"

#include <cstdint>

namespace lum {

int MulDivRound(int a, int b, int c) {
  if (c == 0) return -1;
  const int64_t product = static_cast<int64_t>(a) * b;
  const bool negative = (product < 0) != (c < 0);
  const int64_t ap = product < 0 ? -product : product;
  const int64_t ac = c < 0 ? -static_cast<int64_t>(c) : c;
  const int64_t q = (ap + ac / 2) / ac;
  const int64_t r = negative ? -q : q;
  if (r > INT32_MAX || r < INT32_MIN) return -1;
  return static_cast<int>(r);
}

void DpiScale::Initialise(bool windowsXp, int dpi) {
  percent_ = 100;
  dpi_ = kDesignDpi;
  active_ = false;
  if (windowsXp) return;
  dpi_ = dpi > 0 ? dpi : kDesignDpi;
  percent_ = MulDivRound(dpi_, 100, kDesignDpi);
  active_ = percent_ != 100;
}

bool DpiScale::ScaleImageSize(int* width, int* height, int designDpi, int frames, int maxWidth,
                              int maxHeight, bool force) const {
  if (!active_ && !force) return false;
  const int designPercent = MulDivRound(designDpi, 100, kDesignDpi);
  if (designPercent <= 0 || percent_ == designPercent) return false;
  int w = MulDivRound(*width, percent_, designPercent);
  int h = MulDivRound(*height, percent_, designPercent);
  if (maxWidth > 0 && w > maxWidth) w = maxWidth;
  if (maxHeight > 0 && h > maxHeight) h = maxHeight;
  if (frames > 1 && w % frames != 0) w += frames - w % frames;
  *width = w;
  *height = h;
  return true;
}

}  // namespace lum
