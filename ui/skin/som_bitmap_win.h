// Skin images: one icon, BMP or PNG resource (or file) cut into frames,
// decoded once at the size for the current DPI and kept as a GDI bitmap.
// CSomBitmapHorizen3Part stretches only its middle columns, CSomBitmap9Part
// its middle columns and rows, so borders and corners keep their pixels.
//
// Threading: interface thread only (the shared memory DC is used).
#pragma once
#include <windows.h>

#include <cstdint>

namespace lum {

class CSomBitmap {
 public:
  enum Kind : uint8_t { kIcon = 0, kBmp = 1, kPng = 2 };

  // `id` is a resource number up to 0xFFFE, otherwise a pointer to a path;
  // `hiDpiId` (0 = none) is the 240-DPI alternative of a PNG resource.
  CSomBitmap(UINT_PTR id, uint16_t frames, Kind kind, bool vertical = false, UINT_PTR hiDpiId = 0);
  virtual ~CSomBitmap();
  CSomBitmap(const CSomBitmap&) = delete;
  CSomBitmap& operator=(const CSomBitmap&) = delete;

  // The whole frame copied to cx x cy.
  virtual void DrawStretched(HDC dc, int x, int y, int cx, int cy, int frame);
  // The frame stretched to cx wide at its own height.
  virtual void DrawStretchedWidth(HDC dc, int x, int y, int cx, int frame);

  // The frame at its natural size.
  void DrawFrame(HDC dc, int x, int y, int frame);

  int FrameWidth() { return Load(), frameWidth_; }
  int FrameHeight() { return Load(), frameHeight_; }
  int FrameCount() { return Load(), frames_; }
  bool HasAlpha() { return Load(), hasAlpha_; }
  bool Loaded() { return Load(), handle_ != nullptr; }

 protected:
  // Decodes on first use; a failure leaves zero sizes and frames.
  void Load();
  // Source rectangle of a frame in the strip.
  int FrameLeft(int frame) const { return vertical_ ? 0 : frame * frameWidth_; }
  int FrameTop(int frame) const { return vertical_ ? frame * frameHeight_ : 0; }
  // One part of a frame (source x, y, w, h) onto the target rectangle.
  void Blit(HDC dc, int x, int y, int cx, int cy, int sx, int sy, int sw, int sh);

  UINT_PTR id_;
  HGDIOBJ handle_ = nullptr;
  UINT_PTR hiDpiId_;
  int frameWidth_ = 0;
  int frameHeight_ = 0;
  uint16_t frames_;
  Kind kind_;
  bool vertical_;
  bool hasAlpha_ = false;
  bool loadTried_ = false;
};

class CSomBitmapHorizen3Part : public CSomBitmap {
 public:
  // `left` and `rightStart` are source pixels of one 96-DPI frame.
  CSomBitmapHorizen3Part(UINT_PTR id, uint16_t frames, int left, int rightStart,
                         UINT_PTR hiDpiId = 0);
  void DrawStretched(HDC dc, int x, int y, int cx, int cy, int frame) override;
  void DrawStretchedWidth(HDC dc, int x, int y, int cx, int frame) override;

 private:
  int left_;
  int rightStart_;
};

class CSomBitmap9Part : public CSomBitmap {
 public:
  CSomBitmap9Part(UINT_PTR id, uint16_t frames, int left, int rightStart, int top, int bottomStart,
                  UINT_PTR hiDpiId = 0);
  void DrawStretched(HDC dc, int x, int y, int cx, int cy, int frame) override;

 private:
  int left_;
  int rightStart_;
  int top_;
  int bottomStart_;
};

}  // namespace lum
