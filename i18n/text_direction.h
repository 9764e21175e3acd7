// Reading direction of interface texts: which languages are written right to
// left, the direction a piece of text takes from its letters, and the order
// in which the pieces of one line stand on the screen. Portable: the skin's
// rich text window measures the pieces and places them in this order.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

namespace lum {

enum class TextDirection {
  kNeutral,      // no letter or digit decides (blanks, punctuation)
  kLeftToRight,  // Latin, Cyrillic, CJK, Devanagari letters and digits
  kRightToLeft,  // Arabic, Hebrew, Syriac, Thaana, N'Ko letters
};

// True for the codes of languages written right to left ("ar", "he", "fa",
// "ur", also with a region: "ar-SA"). Compared without regard to case.
bool IsRightToLeftLanguage(const std::wstring& code);

// The direction of the first character that has one; digits count as
// left to right, so a number keeps its digits and its unit in order.
TextDirection StrongDirection(const std::wstring& text);

// The visual order, from the left, of the pieces of one line given in
// reading order with their directions, in a line read right to left or not.
// Pieces against the line's direction keep their own order among each other
// (a Latin name of two pieces inside an Arabic sentence reads left to
// right), everything else follows the line; a neutral piece between two
// pieces of one direction takes theirs, else the line's.
std::vector<size_t> VisualOrder(const std::vector<TextDirection>& pieces, bool rightToLeft);

}  // namespace lum
