#include "ui/skin/gdiplus_win.h"

#include <cstring>

#include "base/install_log.h"
#include "system/system_library_win.h"

namespace lum {

namespace {

// The flat interface's types, as the library exports them (__stdcall).
using GpImage = void;
using GpGraphics = void;
struct StartupInput {
  UINT32 version = 1;
  void* debugCallback = nullptr;
  BOOL suppressBackgroundThread = FALSE;
  BOOL suppressExternalCodecs = FALSE;
};
struct LockRect {
  INT x, y, width, height;
};
struct LockedBits {
  UINT width, height;
  INT stride;
  INT format;
  void* scan0;
  UINT_PTR reserved;
};
constexpr INT kFormat32bppPArgb = 0xE200B;
constexpr UINT kLockRead = 1;
constexpr int kInterpolationHighQualityBicubic = 7;
constexpr int kPixelOffsetHighQuality = 2;

struct Api {
  HMODULE module = nullptr;
  ULONG_PTR token = 0;
  bool started = false;
  bool tried = false;
  int(WINAPI* Startup)(ULONG_PTR*, const StartupInput*, void*) = nullptr;
  void(WINAPI* Shutdown)(ULONG_PTR) = nullptr;
  int(WINAPI* CreateBitmapFromStream)(IStream*, GpImage**) = nullptr;
  int(WINAPI* CreateBitmapFromFile)(const WCHAR*, GpImage**) = nullptr;
  int(WINAPI* CreateBitmapFromScan0)(INT, INT, INT, INT, BYTE*, GpImage**) = nullptr;
  int(WINAPI* GetImageWidth)(GpImage*, UINT*) = nullptr;
  int(WINAPI* GetImageHeight)(GpImage*, UINT*) = nullptr;
  int(WINAPI* GetImageGraphicsContext)(GpImage*, GpGraphics**) = nullptr;
  int(WINAPI* SetInterpolationMode)(GpGraphics*, int) = nullptr;
  int(WINAPI* SetPixelOffsetMode)(GpGraphics*, int) = nullptr;
  int(WINAPI* DrawImageRectI)(GpGraphics*, GpImage*, INT, INT, INT, INT) = nullptr;
  int(WINAPI* DeleteGraphics)(GpGraphics*) = nullptr;
  int(WINAPI* DisposeImage)(GpImage*) = nullptr;
  int(WINAPI* BitmapLockBits)(GpImage*, const LockRect*, UINT, INT, LockedBits*) = nullptr;
  int(WINAPI* BitmapUnlockBits)(GpImage*, LockedBits*) = nullptr;
  int(WINAPI* CreateHBITMAPFromBitmap)(GpImage*, HBITMAP*, DWORD) = nullptr;
};

Api& Gdip() {
  static Api api;
  return api;
}

template <typename F>
bool Bind(HMODULE module, const char* name, F* target) {
  *target = reinterpret_cast<F>(::GetProcAddress(module, name));
  return *target != nullptr;
}

// Owns one GDI+ image.
class Image {
 public:
  explicit Image(GpImage* image = nullptr) : image_(image) {}
  ~Image() {
    if (image_) Gdip().DisposeImage(image_);
  }
  Image(const Image&) = delete;
  Image& operator=(const Image&) = delete;
  GpImage* Get() const { return image_; }
  GpImage** Put() { return &image_; }

 private:
  GpImage* image_;
};

// The locked pixels of `image` copied into a new top-down 32-bit DIB section.
HBITMAP ToDibSection(GpImage* image, int width, int height) {
  LockRect rect{0, 0, width, height};
  LockedBits bits = {};
  if (Gdip().BitmapLockBits(image, &rect, kLockRead, kFormat32bppPArgb, &bits) != 0) return nullptr;
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* pixels = nullptr;
  HBITMAP dib = ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &pixels, nullptr, 0);
  if (dib && pixels) {
    for (int y = 0; y < height; ++y)
      std::memcpy(static_cast<BYTE*>(pixels) + static_cast<size_t>(y) * width * 4,
                  static_cast<const BYTE*>(bits.scan0) + static_cast<ptrdiff_t>(y) * bits.stride,
                  static_cast<size_t>(width) * 4);
  }
  Gdip().BitmapUnlockBits(image, &bits);
  return dib;
}

}  // namespace

bool StartGdiPlus() {
  Api& api = Gdip();
  if (api.started) return true;
  if (api.tried) return false;
  api.tried = true;
  api.module = LoadSystemLibrary(L"gdiplus.dll");
  if (!api.module) {
    log::Action("skin", L"load GDI+", L"gdiplus.dll", static_cast<long>(::GetLastError()));
    return false;
  }
  const bool bound =
      Bind(api.module, "GdiplusStartup", &api.Startup) &&
      Bind(api.module, "GdiplusShutdown", &api.Shutdown) &&
      Bind(api.module, "GdipCreateBitmapFromStream", &api.CreateBitmapFromStream) &&
      Bind(api.module, "GdipCreateBitmapFromFile", &api.CreateBitmapFromFile) &&
      Bind(api.module, "GdipCreateBitmapFromScan0", &api.CreateBitmapFromScan0) &&
      Bind(api.module, "GdipGetImageWidth", &api.GetImageWidth) &&
      Bind(api.module, "GdipGetImageHeight", &api.GetImageHeight) &&
      Bind(api.module, "GdipGetImageGraphicsContext", &api.GetImageGraphicsContext) &&
      Bind(api.module, "GdipSetInterpolationMode", &api.SetInterpolationMode) &&
      Bind(api.module, "GdipSetPixelOffsetMode", &api.SetPixelOffsetMode) &&
      Bind(api.module, "GdipDrawImageRectI", &api.DrawImageRectI) &&
      Bind(api.module, "GdipDeleteGraphics", &api.DeleteGraphics) &&
      Bind(api.module, "GdipDisposeImage", &api.DisposeImage) &&
      Bind(api.module, "GdipBitmapLockBits", &api.BitmapLockBits) &&
      Bind(api.module, "GdipBitmapUnlockBits", &api.BitmapUnlockBits) &&
      Bind(api.module, "GdipCreateHBITMAPFromBitmap", &api.CreateHBITMAPFromBitmap);
  StartupInput input;
  if (!bound || api.Startup(&api.token, &input, nullptr) != 0) {
    log::Action("skin", L"start GDI+", L"gdiplus.dll", 1);
    return false;
  }
  api.started = true;
  log::Note("skin", L"GDI+ started");
  return true;
}

void StopGdiPlus() {
  Api& api = Gdip();
  if (!api.started) return;
  api.Shutdown(api.token);
  api.started = false;
  api.tried = false;
}

HBITMAP DecodeImageStream(IStream* stream,
                          const std::function<void(int* width, int* height)>& targetSize) {
  if (!StartGdiPlus() || !stream) return nullptr;
  Api& api = Gdip();
  Image image;
  if (api.CreateBitmapFromStream(stream, image.Put()) != 0 || !image.Get()) return nullptr;
  UINT w = 0, h = 0;
  api.GetImageWidth(image.Get(), &w);
  api.GetImageHeight(image.Get(), &h);
  if (w == 0 || h == 0) return nullptr;
  int width = static_cast<int>(w), height = static_cast<int>(h);
  if (targetSize) targetSize(&width, &height);
  if (width <= 0 || height <= 0 || (static_cast<UINT>(width) == w && static_cast<UINT>(height) == h))
    return ToDibSection(image.Get(), static_cast<int>(w), static_cast<int>(h));
  Image resized;
  if (api.CreateBitmapFromScan0(width, height, 0, kFormat32bppPArgb, nullptr, resized.Put()) != 0)
    return nullptr;
  GpGraphics* graphics = nullptr;
  if (api.GetImageGraphicsContext(resized.Get(), &graphics) != 0 || !graphics) return nullptr;
  api.SetInterpolationMode(graphics, kInterpolationHighQualityBicubic);
  api.SetPixelOffsetMode(graphics, kPixelOffsetHighQuality);
  const int drawn = api.DrawImageRectI(graphics, image.Get(), 0, 0, width, height);
  api.DeleteGraphics(graphics);
  if (drawn != 0) return nullptr;
  return ToDibSection(resized.Get(), width, height);
}

HBITMAP DecodeImageFile(const wchar_t* path) {
  if (!StartGdiPlus()) return nullptr;
  Image image;
  if (Gdip().CreateBitmapFromFile(path, image.Put()) != 0 || !image.Get()) return nullptr;
  HBITMAP bitmap = nullptr;
  if (Gdip().CreateHBITMAPFromBitmap(image.Get(), &bitmap, 0x00FFFFFF) != 0) return nullptr;
  return bitmap;
}

}  // namespace lum
