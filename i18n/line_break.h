// Word wrapping of interface texts for windows that cannot wrap by themselves.
// Portable: the width of a candidate line comes from a callback, which the
// Win32 side answers with DrawText on the window's device context.
#pragma once
#include <functional>
#include <string>

namespace lum {

// Width in pixels of one line of text as it would be drawn.
using MeasureLine = std::function<int(const std::wstring& line)>;

// True for the languages written without blanks between words ("zh-CN",
// "zh-TW", "ja"), whose texts are never broken at blanks.
bool IsUnbrokenLanguage(const std::wstring& code);

// Cuts `text` at blanks and fills lines word by word (joined by one blank)
// while a line measures narrower than `width`; a word that does not fit
// starts a new line, and a word wider than `width` stands on a line of its
// own. Lines are joined with '\n'. Texts of an unbroken language come back
// unchanged.
std::wstring BreakLinesFor(const std::wstring& languageCode, const std::wstring& text, int width,
                           const MeasureLine& measure);

}  // namespace lum
