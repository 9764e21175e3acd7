#include "ui/skin/som_bitmap_win.h"

#include <objidl.h>

#include "ui/skin/dpi_scale_win.h"
#include "ui/skin/drawing_surfaces_win.h"
#include "ui/skin/gdiplus_win.h"

namespace lum {

namespace {

constexpr UINT_PTR kMaxResourceId = 0xFFFE;
constexpr int kHiDpiDesign = 240;

// The resource bytes in movable global memory, opened as a stream that owns them.
IStream* ResourceStream(HMODULE module, UINT_PTR id) {
  HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(id), L"PNG");
  if (!found) return nullptr;
  const DWORD size = ::SizeofResource(module, found);
  HGLOBAL loaded = ::LoadResource(module, found);
  const void* bytes = loaded ? ::LockResource(loaded) : nullptr;
  if (!bytes || size == 0) return nullptr;
  HGLOBAL copy = ::GlobalAlloc(GMEM_MOVEABLE, size);
  if (!copy) return nullptr;
  if (void* target = ::GlobalLock(copy)) {
    ::memcpy(target, bytes, size);
    ::GlobalUnlock(copy);
  }
  IStream* stream = nullptr;
  if (FAILED(::CreateStreamOnHGlobal(copy, TRUE, &stream))) {
    ::GlobalFree(copy);
    return nullptr;
  }
  return stream;
}

// Colour bytes of a 32-bit DIB section multiplied by their alpha.
void Premultiply(HBITMAP bitmap) {
  DIBSECTION dib = {};
  if (::GetObjectW(bitmap, sizeof(dib), &dib) != sizeof(dib) || !dib.dsBm.bmBits) return;
  auto* p = static_cast<BYTE*>(dib.dsBm.bmBits);
  const int rows = dib.dsBm.bmHeight < 0 ? -dib.dsBm.bmHeight : dib.dsBm.bmHeight;
  for (int y = 0; y < rows; ++y) {
    BYTE* row = p + static_cast<size_t>(y) * dib.dsBm.bmWidthBytes;
    for (int x = 0; x < dib.dsBm.bmWidth; ++x) {
      BYTE* px = row + x * 4;
      const unsigned a = px[3];
      for (int c = 0; c < 3; ++c) px[c] = static_cast<BYTE>(px[c] * a / 255);
    }
  }
}

}  // namespace

CSomBitmap::CSomBitmap(UINT_PTR id, uint16_t frames, Kind kind, bool vertical, UINT_PTR hiDpiId)
    : id_(id), hiDpiId_(hiDpiId), frames_(frames ? frames : 1), kind_(kind), vertical_(vertical) {}

CSomBitmap::~CSomBitmap() {
  if (!handle_) return;
  if (kind_ == kIcon)
    ::DestroyIcon(static_cast<HICON>(handle_));
  else
    ::DeleteObject(handle_);
}

void CSomBitmap::Load() {
  if (loadTried_) return;
  loadTried_ = true;
  HMODULE module = ::GetModuleHandleW(nullptr);
  const bool fromFile = id_ > kMaxResourceId;
  const uint16_t frames = frames_;
  int width = 0, height = 0;
  switch (kind_) {
    case kIcon: {
      handle_ = fromFile ? ::LoadImageW(nullptr, reinterpret_cast<const wchar_t*>(id_), IMAGE_ICON,
                                        0, 0, LR_LOADFROMFILE)
                         : ::LoadImageW(module, MAKEINTRESOURCEW(id_), IMAGE_ICON, 0, 0, 0);
      ICONINFO info = {};
      if (handle_ && ::GetIconInfo(static_cast<HICON>(handle_), &info)) {
        BITMAP bm = {};
        ::GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof(bm), &bm);
        width = bm.bmWidth;
        height = info.hbmColor ? bm.bmHeight : bm.bmHeight / 2;
        if (info.hbmColor) ::DeleteObject(info.hbmColor);
        if (info.hbmMask) ::DeleteObject(info.hbmMask);
      }
      break;
    }
    case kBmp: {
      handle_ = fromFile ? ::LoadImageW(nullptr, reinterpret_cast<const wchar_t*>(id_),
                                        IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION | LR_LOADFROMFILE)
                         : ::LoadImageW(module, MAKEINTRESOURCEW(id_), IMAGE_BITMAP, 0, 0,
                                        LR_CREATEDIBSECTION);
      BITMAP bm = {};
      if (handle_ && ::GetObjectW(handle_, sizeof(bm), &bm)) {
        width = bm.bmWidth;
        height = bm.bmHeight < 0 ? -bm.bmHeight : bm.bmHeight;
        if (bm.bmBitsPixel == 32) Premultiply(static_cast<HBITMAP>(handle_));
      }
      break;
    }
    case kPng: {
      if (fromFile) {
        handle_ = DecodeImageFile(reinterpret_cast<const wchar_t*>(id_));
      } else {
        IStream* stream = nullptr;
        int design = DpiScale::kDesignDpi;
        if (Dpi().Active() && hiDpiId_ != 0) {
          stream = ResourceStream(module, hiDpiId_);
          if (stream) design = kHiDpiDesign;
        }
        if (!stream) stream = ResourceStream(module, id_);
        if (stream) {
          handle_ = DecodeImageStream(stream, [design, frames](int* w, int* h) {
            Dpi().ScaleImageSize(w, h, design, frames);
          });
          stream->Release();
        }
      }
      BITMAP bm = {};
      if (handle_ && ::GetObjectW(handle_, sizeof(bm), &bm)) {
        width = bm.bmWidth;
        height = bm.bmHeight < 0 ? -bm.bmHeight : bm.bmHeight;
      }
      break;
    }
  }
  if (!handle_ || width <= 0 || height <= 0) {
    if (handle_ && kind_ != kIcon) ::DeleteObject(handle_);
    if (handle_ && kind_ == kIcon) ::DestroyIcon(static_cast<HICON>(handle_));
    handle_ = nullptr;
    frames_ = 0;
    frameWidth_ = frameHeight_ = 0;
    return;
  }
  if (kind_ != kIcon) {
    BITMAP bm = {};
    ::GetObjectW(handle_, sizeof(bm), &bm);
    hasAlpha_ = bm.bmBitsPixel == 32;
  }
  frameWidth_ = vertical_ ? width : width / frames_;
  frameHeight_ = vertical_ ? height / frames_ : height;
}

void CSomBitmap::Blit(HDC dc, int x, int y, int cx, int cy, int sx, int sy, int sw, int sh) {
  if (cx <= 0 || cy <= 0 || sw <= 0 || sh <= 0) return;
  HDC memory = SharedMemoryDC();
  HGDIOBJ old = ::SelectObject(memory, handle_);
  if (hasAlpha_) {
    BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    // gdi32's own entry: the installer imports no msimg32.
    ::GdiAlphaBlend(dc, x, y, cx, cy, memory, sx, sy, sw, sh, blend);
  } else if (cx == sw && cy == sh) {
    ::BitBlt(dc, x, y, cx, cy, memory, sx, sy, SRCCOPY);
  } else {
    const int oldMode = ::SetStretchBltMode(dc, HALFTONE);
    POINT brushOrigin;
    ::SetBrushOrgEx(dc, 0, 0, &brushOrigin);
    ::StretchBlt(dc, x, y, cx, cy, memory, sx, sy, sw, sh, SRCCOPY);
    ::SetBrushOrgEx(dc, brushOrigin.x, brushOrigin.y, nullptr);
    ::SetStretchBltMode(dc, oldMode);
  }
  ::SelectObject(memory, old);
}

void CSomBitmap::DrawFrame(HDC dc, int x, int y, int frame) {
  Load();
  if (!handle_ || frame < 0 || frame >= frames_) return;
  if (kind_ == kIcon) {
    ::DrawIconEx(dc, x, y, static_cast<HICON>(handle_), frameWidth_, frameHeight_, 0, nullptr,
                 DI_NORMAL);
    return;
  }
  Blit(dc, x, y, frameWidth_, frameHeight_, FrameLeft(frame), FrameTop(frame), frameWidth_,
       frameHeight_);
}

void CSomBitmap::DrawStretched(HDC dc, int x, int y, int cx, int cy, int frame) {
  Load();
  if (!handle_ || kind_ == kIcon || frame < 0 || frame >= frames_) return;
  Blit(dc, x, y, cx, cy, FrameLeft(frame), FrameTop(frame), frameWidth_, frameHeight_);
}

void CSomBitmap::DrawStretchedWidth(HDC dc, int x, int y, int cx, int frame) {
  DrawStretched(dc, x, y, cx, FrameHeight(), frame);
}

CSomBitmapHorizen3Part::CSomBitmapHorizen3Part(UINT_PTR id, uint16_t frames, int left,
                                               int rightStart, UINT_PTR hiDpiId)
    : CSomBitmap(id, frames, kPng, false, hiDpiId),
      left_(Dpi().Scale(left)),
      rightStart_(Dpi().Scale(rightStart)) {}

void CSomBitmapHorizen3Part::DrawStretched(HDC dc, int x, int y, int cx, int cy, int frame) {
  Load();
  if (!handle_ || cx == 0 || cy == 0 || frame < 0 || frame >= frames_) return;
  const int sx = FrameLeft(frame), sy = FrameTop(frame);
  const int l = left_, r = frameWidth_ - rightStart_, h = frameHeight_;
  Blit(dc, x, y, l, h, sx, sy, l, h);
  Blit(dc, x + l, y, cx - l - r, h, sx + l, sy, rightStart_ - l, h);
  Blit(dc, x + cx - r, y, r, h, sx + rightStart_, sy, r, h);
}

void CSomBitmapHorizen3Part::DrawStretchedWidth(HDC dc, int x, int y, int cx, int frame) {
  DrawStretched(dc, x, y, cx, FrameHeight(), frame);
}

CSomBitmap9Part::CSomBitmap9Part(UINT_PTR id, uint16_t frames, int left, int rightStart, int top,
                                 int bottomStart, UINT_PTR hiDpiId)
    : CSomBitmap(id, frames, kPng, false, hiDpiId),
      left_(Dpi().Scale(left)),
      rightStart_(Dpi().Scale(rightStart)),
      top_(Dpi().Scale(top)),
      bottomStart_(Dpi().Scale(bottomStart)) {}

void CSomBitmap9Part::DrawStretched(HDC dc, int x, int y, int cx, int cy, int frame) {
  Load();
  if (!handle_ || cx == 0 || cy == 0 || frame < 0 || frame >= frames_) return;
  const int sx = FrameLeft(frame), sy = FrameTop(frame);
  const int l = left_, r = frameWidth_ - rightStart_, t = top_, b = frameHeight_ - bottomStart_;
  const int mw = rightStart_ - l, mh = bottomStart_ - t;
  const int cols[3][4] = {{x, l, sx, l}, {x + l, cx - l - r, sx + l, mw}, {x + cx - r, r, sx + rightStart_, r}};
  const int rows[3][4] = {{y, t, sy, t}, {y + t, cy - t - b, sy + t, mh}, {y + cy - b, b, sy + bottomStart_, b}};
  for (const auto& row : rows)
    for (const auto& col : cols) Blit(dc, col[0], row[0], col[1], row[1], col[2], row[2], col[3], row[3]);
}

}  // namespace lum
