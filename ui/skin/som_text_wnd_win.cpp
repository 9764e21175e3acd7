#include "ui/skin/som_text_wnd_win.h"

#include <shellapi.h>

#include <cstdarg>
#include <cwchar>

#include "base/install_log.h"
#include "i18n/text_direction.h"
#include "ui/skin/run_line.h"
#include "ui/skin/shaped_text_win.h"
#include "ui/skin/skin_resources_win.h"

namespace lum {

namespace {

bool LanguageReadsRightToLeft() { return IsRightToLeftLanguage(SkinResources::Get().Language()); }

// A run of a right-to-left line is measured the way it is drawn, shaped and
// with the right-to-left reading order, so that its box is as wide as its ink.
SIZE MeasureRun(HDC dc, const std::wstring& text, bool rightToLeft) {
  if (rightToLeft) return ShapedText(dc, text).Size();
  SIZE size = {0, 0};
  ::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
  return size;
}

}  // namespace

CSomTextWnd::CSomTextWnd() : font_(SkinResources::Get().Font(0)) {}

CSomTextWnd::~CSomTextWnd() {
  if (underlined_) ::DeleteObject(underlined_);
}

void CSomTextWnd::OnCreate() {
  // Runs are drawn in transparent mode over the host's background.
  SetFlag(kTransparent, true);
  Layout();
}

void CSomTextWnd::SetText(const std::wstring& markup) {
  if (markup == markup_ && generation_ == SkinResources::Get().FontGeneration() &&
      rightToLeft_ == LanguageReadsRightToLeft())
    return;
  // The press belongs to the old text: its link must not fire on release.
  const bool pressed = pressedRun_ >= 0;
  hoverRun_ = -1;
  pressedRun_ = -1;
  if (pressed && manager_) manager_->ReleaseWnd(this);
  runs_.clear();
  markup_ = markup;
  const SkinResources& skin = SkinResources::Get();
  for (MarkupRun& parsed : ParseMarkup(markup)) {
    Run run;
    run.text = std::move(parsed.text);
    run.rect = {0, 0, 0, 0};
    run.font = parsed.font >= 0 ? skin.Font(parsed.font) : nullptr;
    run.color = parsed.color;
    run.link = std::move(parsed.link);
    run.underline = parsed.underline;
    run.rightToLeft = false;
    try {
      runs_.push_back(std::move(run));
    } catch (const std::bad_alloc&) {
      break;
    }
  }
  Layout();
  Invalidate();
}

void CSomTextWnd::SetTextFormat(const wchar_t* format, ...) {
  std::vector<wchar_t> buffer(4096);
  va_list args;
  va_start(args, format);
  const int n = std::vswprintf(buffer.data(), buffer.size(), format, args);
  va_end(args);
  SetText(n < 0 ? std::wstring() : std::wstring(buffer.data(), static_cast<size_t>(n)));
}

void CSomTextWnd::Layout() {
  const SkinResources& skin = SkinResources::Get();
  generation_ = skin.FontGeneration();
  rightToLeft_ = LanguageReadsRightToLeft();
  HDC dc = ::GetDC(nullptr);
  HGDIOBJ old = ::SelectObject(dc, Font());
  std::vector<RunExtent> extents;
  for (Run& run : runs_) {
    ::SelectObject(dc, run.font ? skin.Current(run.font) : Font());
    RunExtent extent;
    extent.direction = StrongDirection(run.text);
    // Left-to-right pieces (a Latin name) keep their own reading order.
    run.rightToLeft = rightToLeft_ && extent.direction != TextDirection::kLeftToRight;
    const SIZE size = MeasureRun(dc, run.text, run.rightToLeft);
    extent.width = size.cx;
    extent.height = size.cy;
    extents.push_back(extent);
  }
  ::SelectObject(dc, old);
  ::ReleaseDC(nullptr, dc);
  const RunLine line = LayOutRunLine(extents, rightToLeft_, IsAutoSize() ? -1 : Width());
  for (size_t i = 0; i < runs_.size(); ++i) {
    const RunBox& box = line.boxes[i];
    runs_[i].rect = {box.left, box.top, box.right, box.bottom};
  }
  if (IsAutoSize() && manager_) manager_->SetWndSize(this, line.width, line.height);
}

HFONT CSomTextWnd::UnderlinedFont(HFONT font) {
  if (font == underlineSource_ && underlined_) return underlined_;
  if (underlined_) ::DeleteObject(underlined_);
  underlined_ = nullptr;
  underlineSource_ = font;
  LOGFONTW lf = {};
  if (::GetObjectW(font, sizeof(lf), &lf)) {
    lf.lfUnderline = TRUE;
    underlined_ = ::CreateFontIndirectW(&lf);
  }
  return underlined_ ? underlined_ : font;
}

void CSomTextWnd::OnPaint(HDC dc, int limit, int part) {
  RECT clip;
  ::GetClipBox(dc, &clip);
  const UINT format = DT_NOPREFIX | DT_SINGLELINE | align_;
  const int oldMode = ::SetBkMode(dc, TRANSPARENT);
  const COLORREF oldColor = ::GetTextColor(dc);
  HGDIOBJ oldFont = ::SelectObject(dc, Font());
  const SkinResources& skin = SkinResources::Get();
  for (size_t i = 0; i < runs_.size(); ++i) {
    if (part > 0 && static_cast<int>(i) != part - 1) continue;
    const Run& run = runs_[i];
    RECT r = run.rect;
    RECT meet;
    if (part <= 0 && !::IntersectRect(&meet, &r, &clip)) continue;
    if (limit >= 0) {
      if (r.left >= limit) continue;
      if (r.right > limit) r.right = limit;
    }
    COLORREF color;
    const bool hovered = static_cast<int>(i) == hoverRun_;
    if (!IsEnabled())
      color = kDisabledColor;
    else if (hovered)
      color = kHoverColor;
    else if (!run.link.empty())
      color = run.color >= 0 ? static_cast<COLORREF>(run.color) : kLinkColor;
    else
      color = run.color >= 0 ? static_cast<COLORREF>(run.color) : color_;
    HFONT font = run.font ? skin.Current(run.font) : Font();
    if (hovered && run.underline) font = UnderlinedFont(font);
    ::SelectObject(dc, font);
    ::SetTextColor(dc, color);
    if (run.rightToLeft) {
      const ShapedText shaped(dc, run.text);
      shaped.Draw(r.left, r.top + (r.bottom - r.top - shaped.Size().cy) / 2, r);
      continue;
    }
    ::DrawTextW(dc, run.text.c_str(), static_cast<int>(run.text.size()), &r, format);
  }
  ::SelectObject(dc, oldFont);
  ::SetTextColor(dc, oldColor);
  ::SetBkMode(dc, oldMode);
}

int CSomTextWnd::LinkRunAt(POINT point) const {
  for (size_t i = 0; i < runs_.size(); ++i)
    if (!runs_[i].link.empty() && ::PtInRect(&runs_[i].rect, point)) return static_cast<int>(i);
  return -1;
}

bool CSomTextWnd::OnSetCursor(POINT point) { return LinkRunAt(point) >= 0; }

bool CSomTextWnd::OnMouseMove(POINT point) {
  const int now = LinkRunAt(point);
  if (now == hoverRun_) return false;
  const int old = hoverRun_;
  hoverRun_ = now;
  if (old >= 0) Invalidate(&runs_[old].rect, old + 1);
  if (now >= 0) Invalidate(&runs_[now].rect, now + 1);
  return false;
}

void CSomTextWnd::OnMouseLeave() {
  if (hoverRun_ < 0) return;
  const int old = hoverRun_;
  hoverRun_ = -1;
  Invalidate(&runs_[old].rect, old + 1);
}

bool CSomTextWnd::OnLButtonDown(POINT point) {
  const int run = LinkRunAt(point);
  if (run < 0) return false;
  pressedRun_ = run;
  Invalidate(&runs_[run].rect, run + 1);
  if (manager_) manager_->CaptureWnd(this);
  return true;
}

bool CSomTextWnd::OnLButtonUp(POINT) {
  if (pressedRun_ < 0) return false;
  if (manager_) manager_->ReleaseWnd(this);
  return true;
}

void CSomTextWnd::OnCaptureLost() {
  if (pressedRun_ < 0) return;
  pressedRun_ = -1;
  if (hoverRun_ < 0 || hoverRun_ >= static_cast<int>(runs_.size())) return;
  const std::wstring target = runs_[hoverRun_].link;
  uint32_t command = 0;
  if (LinkCommand(target, &command)) {
    if (manager_) manager_->SendCommand(this, 0, static_cast<WORD>(command));
    return;
  }
  HINSTANCE opened = ::ShellExecuteW(nullptr, L"open", target.c_str(), nullptr, nullptr, SW_SHOW);
  log::Action("skin", L"open link", target,
              reinterpret_cast<INT_PTR>(opened) > 32 ? 0 : static_cast<long>(::GetLastError()));
}

HFONT CSomTextWnd::Font() const { return SkinResources::Get().Current(font_); }

void CSomTextWnd::SetFont(HFONT font) {
  if (font == font_) return;
  font_ = font;
  Layout();
  Invalidate();
}

void CSomTextWnd::SetTextColor(COLORREF color) {
  if (color == color_) return;
  color_ = color;
  Invalidate();
}

void CSomTextWnd::SetAlignment(UINT flags) {
  if (flags == align_) return;
  align_ = flags;
  Invalidate();
}

}  // namespace lum
