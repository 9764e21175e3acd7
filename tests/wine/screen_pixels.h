// What the window tests share when they read the screen: the pixels of a
// screenshot, the BMP the driving script answers a request with, the request
// file, and the colour tests the checks are written in.
#pragma once
#include <windows.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace lum {
namespace shots {

// A 32-bit top-down picture of part of the screen or of a DC.
struct Pixels {
  int width = 0, height = 0;
  std::vector<uint32_t> data;  // 0x00RRGGBB
  uint32_t At(int x, int y) const { return data[static_cast<size_t>(y) * width + x]; }
};

// A 24-bit bottom-up BMP (what "convert ... BMP3:" writes).
inline bool LoadBmp(const std::wstring& path, Pixels* p) {
  HANDLE h = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                           nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  const DWORD size = ::GetFileSize(h, nullptr);
  std::vector<uint8_t> in(size);
  DWORD read = 0;
  const bool ok = size > 54 && ::ReadFile(h, in.data(), size, &read, nullptr) && read == size;
  ::CloseHandle(h);
  if (!ok) return false;
  BITMAPFILEHEADER file;
  BITMAPINFOHEADER info;
  memcpy(&file, in.data(), sizeof(file));
  memcpy(&info, in.data() + sizeof(file), sizeof(info));
  if (file.bfType != 0x4D42 || info.biBitCount != 24 || info.biWidth <= 0) return false;
  const int w = info.biWidth, hgt = info.biHeight < 0 ? -info.biHeight : info.biHeight;
  const int rowBytes = (w * 3 + 3) & ~3;
  if (file.bfOffBits + static_cast<size_t>(rowBytes) * hgt > in.size()) return false;
  p->width = w;
  p->height = hgt;
  p->data.assign(static_cast<size_t>(w) * hgt, 0);
  for (int y = 0; y < hgt; ++y) {
    const int srcRow = info.biHeight > 0 ? hgt - 1 - y : y;
    const uint8_t* row = in.data() + file.bfOffBits + static_cast<size_t>(srcRow) * rowBytes;
    for (int x = 0; x < w; ++x)
      p->data[static_cast<size_t>(y) * w + x] = row[x * 3] | (row[x * 3 + 1] << 8) | (row[x * 3 + 2] << 16);
  }
  return true;
}

// The request file the driving script waits for.
inline bool WriteText(const std::wstring& path, const std::string& text) {
  HANDLE h = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok = ::WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  ::CloseHandle(h);
  return ok && written == text.size();
}

inline int Channel(uint32_t c, int shift) { return static_cast<int>((c >> shift) & 0xFF); }
inline bool NearWhite(uint32_t c) { return Channel(c, 0) > 230 && Channel(c, 8) > 230 && Channel(c, 16) > 230; }
inline bool Bluish(uint32_t c) { return Channel(c, 0) > 150 && Channel(c, 16) < 120; }  // B high, R low
inline bool Dark(uint32_t c) { return Channel(c, 0) < 140 && Channel(c, 8) < 140 && Channel(c, 16) < 140; }

}  // namespace shots
}  // namespace lum
