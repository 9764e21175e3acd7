// Line breaking measured on a real device context (the unspannable text
// window of the skin library uses it before it draws).
#pragma once
#include <windows.h>

#include <string>

namespace lum {

// The width DrawText gives `line` on `dc` as one line (DT_EDITCONTROL |
// DT_CALCRECT | DT_SINGLELINE) in the font selected into `dc`.
int MeasureLineWidth(HDC dc, const std::wstring& line);

// `text` broken into lines narrower than `width` for `language` (empty reads
// as "en"); Chinese and Japanese texts come back unchanged.
std::wstring BreakLines(HDC dc, const std::wstring& text, int width,
                        const std::wstring& language);

}  // namespace lum
