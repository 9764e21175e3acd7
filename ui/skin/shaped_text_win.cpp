#include "ui/skin/shaped_text_win.h"

// usp10.h builds on windows.h.
#include <usp10.h>

#include "base/system_dll_win.h"

namespace lum {

namespace {

using AnalyseFn = HRESULT(WINAPI*)(HDC, const void*, int, int, int, DWORD, int, SCRIPT_CONTROL*,
                                   SCRIPT_STATE*, const int*, SCRIPT_TABDEF*, const BYTE*,
                                   SCRIPT_STRING_ANALYSIS*);
using SizeFn = const SIZE*(WINAPI*)(SCRIPT_STRING_ANALYSIS);
using OutFn = HRESULT(WINAPI*)(SCRIPT_STRING_ANALYSIS, int, int, UINT, const RECT*, int, int, BOOL);
using FreeFn = HRESULT(WINAPI*)(SCRIPT_STRING_ANALYSIS*);

struct ScriptFunctions {
  AnalyseFn analyse = SystemExport<AnalyseFn>(L"usp10.dll", "ScriptStringAnalyse");
  SizeFn size = SystemExport<SizeFn>(L"usp10.dll", "ScriptString_pSize");
  OutFn out = SystemExport<OutFn>(L"usp10.dll", "ScriptStringOut");
  FreeFn free = SystemExport<FreeFn>(L"usp10.dll", "ScriptStringFree");
  bool Usable() const { return analyse && size && out && free; }
};

const ScriptFunctions& Script() {
  static const ScriptFunctions functions;
  return functions;
}

constexpr UINT kFallbackFormat = DT_SINGLELINE | DT_NOPREFIX | DT_RTLREADING;

}  // namespace

ShapedText::ShapedText(HDC dc, const std::wstring& text) : dc_(dc), text_(text) {
  SIZE plain = {0, 0};
  ::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &plain);
  size_.cy = plain.cy;
  const ScriptFunctions& script = Script();
  if (!text.empty() && script.Usable()) {
    // The line's base level is right to left, as DT_RTLREADING sets it.
    SCRIPT_STATE state = {};
    state.uBidiLevel = 1;
    SCRIPT_STRING_ANALYSIS analysis = nullptr;
    const int length = static_cast<int>(text.size());
    if (SUCCEEDED(script.analyse(dc, text.c_str(), length, length * 3 / 2 + 16, -1,
                                 SSA_GLYPHS | SSA_FALLBACK | SSA_RTL, 0, nullptr, &state, nullptr,
                                 nullptr, nullptr, &analysis))) {
      analysis_ = analysis;
      if (const SIZE* shaped = script.size(analysis)) size_.cx = shaped->cx;
      return;
    }
  }
  RECT calc = {0, 0, 0, 0};
  ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &calc,
              DT_CALCRECT | kFallbackFormat);
  size_.cx = calc.right - calc.left;
}

ShapedText::~ShapedText() {
  if (analysis_) {
    SCRIPT_STRING_ANALYSIS analysis = analysis_;
    Script().free(&analysis);
  }
}

void ShapedText::Draw(int x, int y, const RECT& clip) const {
  if (analysis_) {
    Script().out(static_cast<SCRIPT_STRING_ANALYSIS>(analysis_), x, y, ETO_CLIPPED, &clip, 0, 0,
                 FALSE);
    return;
  }
  RECT r = {x, y, clip.right, y + size_.cy};
  if (clip.left > r.left) r.left = clip.left;
  ::DrawTextW(dc_, text_.c_str(), static_cast<int>(text_.size()), &r, kFallbackFormat);
}

}  // namespace lum
