// The soft drop shadow of the main window and the notice page: a layered,
// never-activated tool window behind its target, `Scale(20)` larger on every
// side, painted once per size from the nine-part shadow image and pushed with
// UpdateLayeredWindow. CTransparentWnd<T> is the layered-window mix-in.
//
// Threading: the interface thread only.
#pragma once
#include <windows.h>

#include "ui/skin/som_window_win.h"
#include "ui/skin/som_wnd_manager_win.h"

namespace lum {

// Message a layered window gets (wParam = HDC) to paint itself into its
// picture when its Render is not overridden.
constexpr UINT kRenderMessage = WM_USER + 1001;

template <class T>
class CTransparentWnd {
 public:
  virtual void Render(HDC dc) {
    ::SendMessageW(target_, kRenderMessage, reinterpret_cast<WPARAM>(dc), 0);
  }
  virtual ~CTransparentWnd() { ReleasePicture(); }

  // The rendered picture (premultiplied BGRA, top row first through Pixel).
  SIZE PictureSize() const { return pictureSize_; }
  // 0 outside the picture.
  DWORD Pixel(int x, int y) const;

 protected:
  // Re-renders `changed` (window coordinates; null = everything) and pushes
  // the whole picture with per-pixel alpha.
  void UpdateLayered(const RECT* changed);
  void ReleasePicture();

  HWND target_ = nullptr;
  HBITMAP picture_ = nullptr;
  void* bits_ = nullptr;
  SIZE pictureSize_ = {0, 0};
  BYTE constantAlpha_ = 255;
};

class CShadow : public CSomWindow,
                public CSomWndManager,
                public CMessageFilter,
                public CTransparentWnd<CShadow> {
 public:
  static constexpr int kImage = 10015;
  static constexpr int kSpread = 20;  // 96-DPI pixels beyond each edge

  // Creates the shadow window of `owner` (hidden when `visible` is false),
  // placed around it and just behind it. The shadow window itself has no
  // owner: an owned window always lies above its owner, the shadow below.
  bool Create(HWND owner, bool visible);
  // The window goes while this object can still answer its last messages.
  ~CShadow() override { DestroySomWindow(); }
  // Around one window's rectangle, or around a given screen rectangle.
  void FitTo(HWND target);
  void FitToRect(const RECT& rect);
  void Show(bool show);
  void Destroy();

  void Render(HDC dc) override;
  bool UseDoubleBuffer() override { return false; }
  void EraseBackground(HDC dc, const RECT* rect) override;
  BOOL PreTranslateMessage(MSG*) override { return FALSE; }

 protected:
  bool ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                            LRESULT& result) override;

 private:
  HWND owner_ = nullptr;  // the window whose shadow this is
};

}  // namespace lum
