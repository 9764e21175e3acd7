// The process-wide drawing surfaces of the skin: a memory DC compatible with
// the screen into which images are selected for blitting, and a 1024 x 128
// scratch surface on which a transparent control is composed over its
// background, so both reach the screen in one copy. Created on first use,
// released at exit. Interface thread only.
#pragma once
#include <windows.h>

#include <string>

namespace lum {

constexpr int kScratchWidth = 1024;
constexpr int kScratchHeight = 128;

HDC SharedMemoryDC();
// Null when the scratch surface could not be made (controls are then drawn
// straight onto their target).
HDC ScratchDC();
// Width and height of `text` on one line in `font` (0 x 0 for no text).
SIZE MeasureText(HFONT font, const std::wstring& text);

}  // namespace lum
