// The host side of the skin toolkit: a real window owns one CSomWndManager,
// offers it every message first, and the manager hit-tests, paints and feeds
// the windowless children (mouse, capture, hover, the 100 ms timer 54321,
// tooltips). It learns its host from the first message and returns to its
// initial state at WM_DESTROY, so the same host object can be created again.
//
// Threading: the host window's thread only.
#pragma once
#include <windows.h>

#include <map>
#include <memory>
#include <vector>

#include "ui/skin/som_wnd_win.h"

namespace lum {

// The tooltip bookkeeping: the tooltip control, the host window given to it,
// tool id -> (child, sub-id, area) and child -> (sub-id -> tool id).
class CSomToolTipAdpater {
 public:
  struct Tool {
    CSomWnd* child;
    UINT subId;
    RECT area;
  };
  // The host hands over the "tooltips_class32" control it created.
  void SetToolTip(HWND toolTip, HWND owner) {
    toolTip_ = toolTip;
    toolOwner_ = owner;
  }
  const std::map<UINT, Tool>& Tools() const { return tools_; }

 protected:
  HWND toolTip_ = nullptr;
  HWND toolOwner_ = nullptr;
  std::map<UINT, Tool> tools_;
  std::map<CSomWnd*, std::map<UINT, UINT>> toolsOfChild_;
};

class CSomWndManager : public ISomWndManager, public CSomToolTipAdpater {
 public:
  static constexpr UINT_PTR kTimerId = 54321;
  static constexpr UINT kTimerMs = 100;

  CSomWndManager() = default;
  CSomWndManager(const CSomWndManager&) = delete;
  CSomWndManager& operator=(const CSomWndManager&) = delete;
  virtual ~CSomWndManager() = default;

  void AddWnd(CSomWnd* child) override;
  void RemoveWnd(CSomWnd* child) override;
  void CaptureWnd(CSomWnd* child) override;
  void ReleaseWnd(CSomWnd* child) override;
  LRESULT SendHostMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
  LRESULT SendCommand(CSomWnd* child, WORD code, WORD id) override;
  BOOL PostHostMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
  void SetWndBounds(CSomWnd* child, int x, int y, int cx, int cy) override;
  void SetWndSize(CSomWnd* child, int cx, int cy) override;
  void SetWndPos(CSomWnd* child, int x, int y) override;
  void InvalidateWnd(CSomWnd* child, const RECT* subRect, bool force, int part) override;
  UINT AddTip(CSomWnd* child, UINT subId, const RECT* rect) override;
  void RemoveTip(CSomWnd* child) override;
  void SuspendImmediatePaint() override { immediatePaint_ = false; }
  void ResumeImmediatePaint() override;
  void OnLayoutChanged(const RECT& area) override {}
  bool UseDoubleBuffer() override { return true; }
  void EraseBackground(HDC dc, const RECT* rect) override;
  void PaintChildren(HDC dc, const RECT& rect) override;

  // The host's message map calls this first; true when the message is handled
  // (the host then returns `result`).
  bool ProcessSkinMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                          LRESULT* result);

  // A batch of layout changes repainted once at its end.
  void BeginDeferredUpdate();
  void EndDeferredUpdate();

  HWND Host() const { return host_; }
  const std::vector<CSomWnd*>& Children() const { return children_; }
  CSomWnd* CaptureChild() const { return capture_; }
  CSomWnd* HoverChild() const { return hover_; }
  bool RedrawEnabled() const { return redraw_; }
  bool ImmediatePaint() const { return immediatePaint_; }

 protected:
  // The first visible, enabled child containing `point` (client coordinates).
  CSomWnd* HitTest(POINT point) const;
  // Paints one child: see the toolkit's painting rules.
  void PaintChild(HDC dc, CSomWnd* child, bool draw, bool withBackground, bool exclude, int part);
  void Paint(HDC given);
  void Reset();
  void InvalidateOrBatch(const RECT& rect);

  HWND host_ = nullptr;
  std::vector<CSomWnd*> children_;
  CSomWnd* capture_ = nullptr;
  CSomWnd* hover_ = nullptr;
  bool redraw_ = true;
  bool immediatePaint_ = true;
  std::unique_ptr<RECT> deferred_;
};

}  // namespace lum
