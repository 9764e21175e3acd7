// GDI+ reached through its flat interface, loaded at run time: a machine
// without "gdiplus.dll" must still start the installer far enough to say so.
//
// Threading: started and used on the interface thread.
#pragma once
#include <windows.h>
// objidl.h builds on windows.h.
#include <objidl.h>

#include <functional>

namespace lum {

// Loads the library and starts GDI+ once; true while it is usable.
bool StartGdiPlus();
// Shuts GDI+ down (images decoded before stay valid GDI bitmaps).
void StopGdiPlus();

// Decodes an image stream (PNG) into a 32-bit top-down DIB section with
// premultiplied alpha. `targetSize` sees the decoded size and may change it;
// a changed size is reached with a high-quality resample. Null on any failure.
HBITMAP DecodeImageStream(IStream* stream, const std::function<void(int* width, int* height)>& targetSize);
// Decodes an image file over an opaque background of 0x00FFFFFF.
HBITMAP DecodeImageFile(const wchar_t* path);

}  // namespace lum
