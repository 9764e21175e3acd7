// One frame of a skin image as a windowless child.
#pragma once
#include "ui/skin/som_bitmap_win.h"
#include "ui/skin/som_wnd_win.h"

namespace lum {

class CSomImageWnd : public CSomWnd {
 public:
  explicit CSomImageWnd(CSomBitmap* image = nullptr, int frame = 0) : image_(image), frame_(frame) {}
  void OnCreate() override;
  void OnPaint(HDC dc, int limit, int part) override;
  void SetImage(CSomBitmap* image, int frame = 0);

 private:
  CSomBitmap* image_;
  int frame_;
};

}  // namespace lum
