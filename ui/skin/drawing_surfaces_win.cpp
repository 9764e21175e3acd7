#include "ui/skin/drawing_surfaces_win.h"

namespace lum {

namespace {

struct Surfaces {
  Surfaces() {
    HDC screen = ::GetDC(nullptr);
    memory = ::CreateCompatibleDC(screen);
    scratch = ::CreateCompatibleDC(screen);
    scratchBitmap = ::CreateCompatibleBitmap(screen, kScratchWidth, kScratchHeight);
    if (screen) ::ReleaseDC(nullptr, screen);
    if (scratch && scratchBitmap) {
      oldScratch = ::SelectObject(scratch, scratchBitmap);
    } else {
      if (scratch) ::DeleteDC(scratch);
      scratch = nullptr;
    }
  }
  ~Surfaces() {
    if (scratch) {
      ::SelectObject(scratch, oldScratch);
      ::DeleteDC(scratch);
    }
    if (scratchBitmap) ::DeleteObject(scratchBitmap);
    if (memory) ::DeleteDC(memory);
  }
  HDC memory = nullptr;
  HDC scratch = nullptr;
  HBITMAP scratchBitmap = nullptr;
  HGDIOBJ oldScratch = nullptr;
};

Surfaces& Shared() {
  static Surfaces surfaces;
  return surfaces;
}

}  // namespace

HDC SharedMemoryDC() { return Shared().memory; }
HDC ScratchDC() { return Shared().scratch; }

SIZE MeasureText(HFONT font, const std::wstring& text) {
  SIZE size = {0, 0};
  if (text.empty()) return size;
  HDC dc = ::GetDC(nullptr);
  HGDIOBJ old = ::SelectObject(dc, font);
  ::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
  ::SelectObject(dc, old);
  ::ReleaseDC(nullptr, dc);
  return size;
}

}  // namespace lum
