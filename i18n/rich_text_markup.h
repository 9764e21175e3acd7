// The inline markup of the language texts: colours, skin fonts, underlining
// and links inside one line ("{&#font=5}{&#color=0x707070}Installing...").
// Portable: the parser produces runs with font indexes and COLORREF values;
// the rich text window of the skin maps the indexes to its fonts, lays the
// runs out and paints them.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace lum {

// One piece of text with uniform attributes.
struct MarkupRun {
  std::wstring text;
  int font = -1;       // skin font 0..9, -1 = the window's own font
  int32_t color = -1;  // COLORREF (0x00BBGGRR), negative = the window's colour
  std::wstring link;   // empty = not a link
  bool underline = false;  // underlined while the mouse is over it

  bool operator==(const MarkupRun& o) const {
    return text == o.text && font == o.font && color == o.color && link == o.link &&
           underline == o.underline;
  }
};

// Splits `markup` into runs. Unknown tags are dropped, a "{&#" without a
// closing "}" is ordinary text, and closing tags never pop the defaults, so
// every input gives a well-defined result.
std::vector<MarkupRun> ParseMarkup(const std::wstring& markup);

// A markup colour value: '#' or "0x" means hexadecimal, else decimal; digits
// are read as far as they go, nothing readable gives 0.
int32_t ParseMarkupColor(const std::wstring& value);

// True when a link target is a command ("button:" in any case, then a
// number, hexadecimal after "0x"), with the command number.
bool LinkCommand(const std::wstring& target, uint32_t* command);

}  // namespace lum
