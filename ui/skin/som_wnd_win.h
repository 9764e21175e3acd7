// The windowless child of the skin toolkit and the interface through which it
// reaches its host. Only the host window has an HWND; a child is a plain
// object with a rectangle in the host's client coordinates, owned by the host
// object (the manager only points to it).
//
// Threading: a child is used only on the thread that owns its host window.
#pragma once
#include <windows.h>
// commctrl.h builds on windows.h.
#include <commctrl.h>

#include <cstdint>

namespace lum {

class CSomWnd;

// What a child asks of its host; the slots' order is part of the contract.
class ISomWndManager {
 public:
  virtual void AddWnd(CSomWnd* child) = 0;
  virtual void RemoveWnd(CSomWnd* child) = 0;
  virtual void CaptureWnd(CSomWnd* child) = 0;
  virtual void ReleaseWnd(CSomWnd* child) = 0;
  virtual LRESULT SendHostMessage(UINT msg, WPARAM wParam, LPARAM lParam) = 0;
  virtual LRESULT SendCommand(CSomWnd* child, WORD code, WORD id) = 0;
  virtual BOOL PostHostMessage(UINT msg, WPARAM wParam, LPARAM lParam) = 0;
  virtual void SetWndBounds(CSomWnd* child, int x, int y, int cx, int cy) = 0;
  virtual void SetWndSize(CSomWnd* child, int cx, int cy) = 0;
  virtual void SetWndPos(CSomWnd* child, int x, int y) = 0;
  virtual void InvalidateWnd(CSomWnd* child, const RECT* subRect, bool force, int part) = 0;
  virtual UINT AddTip(CSomWnd* child, UINT subId, const RECT* rect) = 0;
  virtual void RemoveTip(CSomWnd* child) = 0;
  virtual void SuspendImmediatePaint() = 0;
  virtual void ResumeImmediatePaint() = 0;
  virtual void OnLayoutChanged(const RECT& area) = 0;
  virtual bool UseDoubleBuffer() = 0;
  virtual void EraseBackground(HDC dc, const RECT* rect) = 0;
  virtual void PaintChildren(HDC dc, const RECT& rect) = 0;

 protected:
  ~ISomWndManager() = default;
};

class CSomWnd {
 public:
  enum Flags : uint32_t {
    kVisible = 1u << 0,
    kAutoSize = 1u << 1,  // the control sizes itself to its content
    kDisabled = 1u << 2,
    kTransparent = 1u << 3,  // the host background is painted under it first
  };

  CSomWnd() = default;
  CSomWnd(const CSomWnd&) = delete;
  CSomWnd& operator=(const CSomWnd&) = delete;

  virtual ~CSomWnd() = default;
  virtual void Release() { delete this; }
  virtual void OnCreate() {}
  virtual void OnDestroy() {}
  virtual void OnTimer() {}  // every 100 ms
  virtual void OnMove(int x, int y) {}
  virtual void OnSize(int cx, int cy) {}
  // `dc` has its origin at the child's top-left; `limit` is a right clip
  // limit (-1 = none); `part` 0 paints all, n paints part n - 1 only.
  virtual void OnPaint(HDC dc, int limit, int part) = 0;
  virtual void OnCaptureLost() {}
  virtual bool OnSetCursor(POINT point) { return false; }
  virtual bool OnLButtonDown(POINT point) { return false; }
  virtual bool OnLButtonUp(POINT point) { return false; }
  virtual bool OnLButtonDblClk(POINT point) { return OnLButtonDown(point); }
  virtual bool OnMouseMove(POINT point) { return false; }
  virtual void OnMouseEnter(POINT point) {}
  virtual void OnMouseLeave() {}
  virtual void OnGetTipText(UINT subId, NMTTDISPINFOW* info) {}

  // Attaches to `manager` at a 96-DPI position and size (scaled here), then
  // AddWnd, OnCreate, OnMove, OnSize in this order.
  void Create(ISomWndManager* manager, int x, int y, int cx, int cy, UINT id, uint32_t flags);
  // Back to the detached state (the manager does this at its host's WM_DESTROY).
  void Detach();

  bool Show(bool show);      // previous visibility
  bool Enable(bool enable);  // previous enabled state
  void Invalidate(const RECT* subRect = nullptr, int part = 0);
  void SetPos(int x, int y);
  void SetSize(int cx, int cy);
  void SetBounds(int x, int y, int cx, int cy);

  bool IsVisible() const { return (flags_ & kVisible) != 0; }
  bool IsEnabled() const { return (flags_ & kDisabled) == 0; }
  bool IsTransparent() const { return (flags_ & kTransparent) != 0; }
  bool IsAutoSize() const { return (flags_ & kAutoSize) != 0; }
  uint32_t Flags() const { return flags_; }
  void SetFlag(uint32_t flag, bool on) { flags_ = on ? (flags_ | flag) : (flags_ & ~flag); }
  UINT Id() const { return id_; }
  const RECT& Rect() const { return rect_; }
  int Width() const { return rect_.right - rect_.left; }
  int Height() const { return rect_.bottom - rect_.top; }
  ISomWndManager* Manager() const { return manager_; }

  // The manager keeps the rectangle; children never write it themselves.
  void StoreRect(const RECT& rect) { rect_ = rect; }

 protected:
  uint32_t flags_ = 0;
  UINT id_ = 0;
  RECT rect_ = {0, 0, 0, 0};
  ISomWndManager* manager_ = nullptr;
};

}  // namespace lum
