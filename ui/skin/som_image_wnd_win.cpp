#include "ui/skin/som_image_wnd_win.h"

namespace lum {

void CSomImageWnd::OnCreate() {
  if (!image_) return;
  if (IsAutoSize() && manager_) manager_->SetWndSize(this, image_->FrameWidth(), image_->FrameHeight());
  SetFlag(kTransparent, image_->HasAlpha());
}

void CSomImageWnd::OnPaint(HDC dc, int, int) {
  if (image_) image_->DrawFrame(dc, 0, 0, frame_);
}

void CSomImageWnd::SetImage(CSomBitmap* image, int frame) {
  if (image == image_ && frame == frame_) return;
  image_ = image;
  frame_ = frame;
  OnCreate();
  Invalidate();
}

}  // namespace lum
