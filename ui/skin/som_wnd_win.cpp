#include "ui/skin/som_wnd_win.h"

#include "ui/skin/dpi_scale_win.h"

namespace lum {

void CSomWnd::Create(ISomWndManager* manager, int x, int y, int cx, int cy, UINT id,
                     uint32_t flags) {
  manager_ = manager;
  flags_ = flags;
  id_ = id;
  const DpiScale& dpi = Dpi();
  x = dpi.Scale(x);
  y = dpi.Scale(y);
  cx = dpi.Scale(cx);
  cy = dpi.Scale(cy);
  rect_ = {x, y, x + cx, y + cy};
  if (manager_) manager_->AddWnd(this);
  OnCreate();
  OnMove(x, y);
  OnSize(cx, cy);
}

void CSomWnd::Detach() {
  flags_ = 0;
  id_ = 0;
  rect_ = {0, 0, 0, 0};
  manager_ = nullptr;
}

bool CSomWnd::Show(bool show) {
  if (!manager_) return false;
  const bool was = IsVisible();
  if (was != show) {
    SetFlag(kVisible, show);
    manager_->InvalidateWnd(this, nullptr, true, 0);
  }
  return was;
}

bool CSomWnd::Enable(bool enable) {
  const bool was = IsEnabled();
  if (was != enable) {
    SetFlag(kDisabled, !enable);
    Invalidate();
  }
  return was;
}

void CSomWnd::Invalidate(const RECT* subRect, int part) {
  if (manager_) manager_->InvalidateWnd(this, subRect, false, part);
}

void CSomWnd::SetPos(int x, int y) {
  if (manager_) manager_->SetWndPos(this, x, y);
}

void CSomWnd::SetSize(int cx, int cy) {
  if (manager_) manager_->SetWndSize(this, cx, cy);
}

void CSomWnd::SetBounds(int x, int y, int cx, int cy) {
  if (manager_) manager_->SetWndBounds(this, x, y, cx, cy);
}

}  // namespace lum
