// Rich text: one line of runs parsed from the language table's markup, with
// links that send a command ("button:" targets) or open an address. In a
// language read right to left the runs stand in visual order from the right
// (ui/skin/run_line.h) and each is drawn with the right-to-left reading order.
#pragma once
#include <string>
#include <vector>

#include "i18n/rich_text_markup.h"
#include "ui/skin/som_wnd_win.h"

namespace lum {

class CSomTextWnd : public CSomWnd {
 public:
  struct Run {
    std::wstring text;
    RECT rect;
    HFONT font;         // null = the window's font
    int32_t color;      // negative = the window's colour
    std::wstring link;  // empty = not a link
    bool underline;
    bool rightToLeft;   // read right to left: drawn with the RTL reading order
  };
  static constexpr COLORREF kHoverColor = 0xFFBC5D;
  static constexpr COLORREF kLinkColor = 0xE59422;
  static constexpr COLORREF kDisabledColor = 0xC7C7C7;

  CSomTextWnd();
  ~CSomTextWnd() override;
  void OnCreate() override;
  void OnPaint(HDC dc, int limit, int part) override;
  void OnCaptureLost() override;
  bool OnSetCursor(POINT point) override;
  bool OnLButtonDown(POINT point) override;
  bool OnLButtonUp(POINT point) override;
  bool OnMouseMove(POINT point) override;
  void OnMouseLeave() override;

  // Parses, lays out and repaints; the same text again changes nothing.
  void SetText(const std::wstring& markup);
  void SetTextFormat(const wchar_t* format, ...);
  void SetFont(HFONT font);
  void SetTextColor(COLORREF color);
  void SetAlignment(UINT flags);

  const std::wstring& Markup() const { return markup_; }
  const std::vector<Run>& Runs() const { return runs_; }
  int HoverRun() const { return hoverRun_; }
  // The line is read right to left (the interface language is): its runs
  // stand from the right edge in visual order.
  bool RightToLeft() const { return rightToLeft_; }
  // The font the window's own runs are measured and drawn with.
  HFONT Font() const;

 private:
  void Layout();
  int LinkRunAt(POINT point) const;
  HFONT UnderlinedFont(HFONT font);

  std::wstring markup_;
  std::vector<Run> runs_;
  HFONT font_;
  COLORREF color_ = 0;
  int hoverRun_ = -1;
  int pressedRun_ = -1;
  UINT align_ = DT_VCENTER;
  bool rightToLeft_ = false;  // of the language the runs were laid out for
  HFONT underlineSource_ = nullptr;
  HFONT underlined_ = nullptr;
  unsigned generation_ = 0;  // of the skin's fonts the runs were measured with
};

}  // namespace lum
