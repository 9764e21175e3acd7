#include "i18n/line_break_win.h"

#include "i18n/line_break.h"

namespace lum {

int MeasureLineWidth(HDC dc, const std::wstring& line) {
  RECT rect = {0, 0, 0, 0};
  ::DrawTextW(dc, line.c_str(), static_cast<int>(line.size()), &rect,
              DT_EDITCONTROL | DT_CALCRECT | DT_SINGLELINE);
  return rect.right - rect.left;
}

std::wstring BreakLines(HDC dc, const std::wstring& text, int width,
                        const std::wstring& language) {
  return BreakLinesFor(language.empty() ? L"en" : language, text, width,
                       [dc](const std::wstring& line) { return MeasureLineWidth(dc, line); });
}

}  // namespace lum
