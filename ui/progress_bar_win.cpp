#include "ui/progress_bar_win.h"

#include <algorithm>
#include <memory>

#include "ui/skin/som_bitmap_win.h"
#include "ui/skin/som_image_wnd_win.h"

namespace lum {

struct C2LayerProgressBar::Parts {
  Parts(int trackId, int fillId, int trackHiDpiId, int fillHiDpiId)
      : trackImage(static_cast<UINT_PTR>(trackId), 1, CSomBitmap::kPng, false,
                   static_cast<UINT_PTR>(trackHiDpiId)),
        fillImage(static_cast<UINT_PTR>(fillId), 1, CSomBitmap::kPng, false,
                  static_cast<UINT_PTR>(fillHiDpiId)),
        track(&trackImage),
        fill(&fillImage) {}
  CSomBitmap trackImage;
  CSomBitmap fillImage;
  CSomImageWnd track;
  CSomImageWnd fill;
  CSomWndManager* manager = nullptr;
};

C2LayerProgressBar::C2LayerProgressBar() : parts_(nullptr) {}

C2LayerProgressBar::~C2LayerProgressBar() {
  if (parts_ && parts_->manager && parts_->track.Manager()) {
    parts_->manager->RemoveWnd(&parts_->fill);
    parts_->manager->RemoveWnd(&parts_->track);
  }
  delete parts_;
}

bool C2LayerProgressBar::Create(CSomWndManager* manager, HWND host, int trackId, int fillId,
                                int trackHiDpiId, int fillHiDpiId) {
  if (!manager) return false;
  if (parts_) {
    // Created again (the host window was recreated): the old children leave
    // the manager before their objects go.
    if (parts_->manager && parts_->track.Manager()) {
      parts_->manager->RemoveWnd(&parts_->fill);
      parts_->manager->RemoveWnd(&parts_->track);
    }
    delete parts_;
    parts_ = nullptr;
  }
  parts_ = new Parts(trackId, fillId, trackHiDpiId, fillHiDpiId);
  parts_->manager = manager;
  host_ = host;
  const uint32_t flags = CSomWnd::kAutoSize;  // hidden until the install starts
  parts_->track.Create(manager, 0, 0, 0, 0, 0, flags);
  parts_->fill.Create(manager, 0, 0, 0, 0, 0, flags);
  // The manager paints and hit-tests its list front to back (first = on top),
  // and the track was added first: moving it to the end puts the fill above
  // it in every paint, also a full repaint of the host.
  manager->RemoveWnd(&parts_->track);
  manager->AddWnd(&parts_->track);
  SetPos(x_, y_);
  return parts_->trackImage.Loaded() && parts_->fillImage.Loaded();
}

void C2LayerProgressBar::SetPos(int x, int y) {
  x_ = x;
  y_ = y;
  if (!parts_ || !parts_->track.Manager()) return;
  parts_->track.SetPos(x, y);
  parts_->fill.SetPos(x - parts_->fill.Width(), y);
}

void C2LayerProgressBar::Show(bool show) {
  if (!parts_ || !parts_->track.Manager()) return;
  parts_->track.Show(show);
  parts_->fill.Show(show);
}

void C2LayerProgressBar::SetPercent(int percent) {
  if (!parts_ || !parts_->track.Manager()) return;
  const unsigned p = static_cast<unsigned>(std::clamp(percent, 0, 100));
  const unsigned w = static_cast<unsigned>(parts_->fill.Width());
  parts_->track.Show(true);
  // Unsigned: p * w / 100 never rounds towards the wrong side.
  const int left = x_ + static_cast<int>(p * w / 100u) - static_cast<int>(w);
  parts_->fill.SetPos(left, parts_->fill.Rect().top);
  parts_->fill.Show(true);
  parts_->fill.Invalidate();
}

RECT C2LayerProgressBar::TrackBounds() const {
  return parts_ ? parts_->track.Rect() : RECT{0, 0, 0, 0};
}

RECT C2LayerProgressBar::FillBounds() const {
  return parts_ ? parts_->fill.Rect() : RECT{0, 0, 0, 0};
}

}  // namespace lum
