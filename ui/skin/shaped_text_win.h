// One piece of text of a line read right to left, measured and drawn by the
// system's script processor (usp10.dll, loaded from the system folder at run
// time): letters joined as the script writes them, the right-to-left reading
// order, directional marks taking no room. Measuring and drawing go through
// the same analysis, so the box a piece is given is exactly as wide as its
// ink and the pieces of a line meet without a gap. Where the library or its
// functions are missing, DrawText with DT_RTLREADING measures and draws.
//
// Threading: the interface thread (the DC and its font belong to it).
#pragma once
#include <windows.h>

#include <string>

namespace lum {

class ShapedText {
 public:
  // Analyses `text` in the font selected into `dc` now.
  ShapedText(HDC dc, const std::wstring& text);
  ~ShapedText();
  ShapedText(const ShapedText&) = delete;
  ShapedText& operator=(const ShapedText&) = delete;

  // Width of the shaped text and the font's height.
  SIZE Size() const { return size_; }
  // Draws at (x, y) (top-left) in the DC's text colour and background mode,
  // clipped to `clip`, with the font the text was analysed with.
  void Draw(int x, int y, const RECT& clip) const;

 private:
  HDC dc_;
  std::wstring text_;
  void* analysis_ = nullptr;  // SCRIPT_STRING_ANALYSIS, null when not analysed
  SIZE size_ = {0, 0};
};

}  // namespace lum
