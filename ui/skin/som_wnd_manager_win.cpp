#include "ui/skin/som_wnd_manager_win.h"

#include <windowsx.h>

#include <algorithm>
#include <new>

#include "ui/skin/drawing_surfaces_win.h"

namespace lum {

namespace {

POINT Local(const CSomWnd* child, POINT p) {
  return {p.x - child->Rect().left, p.y - child->Rect().top};
}

bool Intersects(const RECT& a, const RECT& b) {
  RECT out;
  return ::IntersectRect(&out, &a, &b) != FALSE;
}

// An off-screen copy of a client area, copied back over `area` when done.
class OffScreen {
 public:
  OffScreen(HDC target, int width, int height) : target_(target) {
    dc_ = ::CreateCompatibleDC(target);
    bitmap_ = dc_ ? ::CreateCompatibleBitmap(target, width, height) : nullptr;
    if (bitmap_) old_ = ::SelectObject(dc_, bitmap_);
  }
  ~OffScreen() {
    if (bitmap_) {
      ::SelectObject(dc_, old_);
      ::DeleteObject(bitmap_);
    }
    if (dc_) ::DeleteDC(dc_);
  }
  OffScreen(const OffScreen&) = delete;
  OffScreen& operator=(const OffScreen&) = delete;
  bool Valid() const { return bitmap_ != nullptr; }
  HDC Get() const { return dc_; }
  void CopyBack(const RECT& area) const {
    ::BitBlt(target_, area.left, area.top, area.right - area.left, area.bottom - area.top, dc_,
             area.left, area.top, SRCCOPY);
  }

 private:
  HDC target_;
  HDC dc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ old_ = nullptr;
};

}  // namespace

void CSomWndManager::AddWnd(CSomWnd* child) {
  if (!child) return;
  try {
    if (children_.size() == children_.capacity())
      children_.reserve(children_.empty() ? 1 : children_.size() * 2);
    children_.push_back(child);
  } catch (const std::bad_alloc&) {
    // Out of memory: the child is simply not shown.
  }
}

void CSomWndManager::RemoveWnd(CSomWnd* child) {
  if (!child) return;
  if (capture_ == child) {
    capture_ = nullptr;
    if (host_ && ::GetCapture() == host_) ::ReleaseCapture();
    child->OnCaptureLost();
  }
  if (hover_ == child) {
    hover_ = nullptr;
    child->OnMouseLeave();
  }
  RemoveTip(child);
  children_.erase(std::remove(children_.begin(), children_.end(), child), children_.end());
}

void CSomWndManager::CaptureWnd(CSomWnd* child) {
  if (capture_ && capture_ != child) {
    CSomWnd* previous = capture_;
    capture_ = nullptr;
    previous->OnCaptureLost();
  }
  capture_ = child;
  if (host_ && ::GetCapture() != host_) ::SetCapture(host_);
}

void CSomWndManager::ReleaseWnd(CSomWnd* child) {
  if (!child || capture_ != child) return;
  if (host_ && ::GetCapture() == host_) ::ReleaseCapture();
  // WM_CAPTURECHANGED normally delivers OnCaptureLost; when the system never
  // gave the host the capture, deliver it here so the click is not lost.
  if (capture_ == child) {
    capture_ = nullptr;
    child->OnCaptureLost();
  }
}

LRESULT CSomWndManager::SendHostMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  return host_ ? ::SendMessageW(host_, msg, wParam, lParam) : 0;
}

LRESULT CSomWndManager::SendCommand(CSomWnd* child, WORD code, WORD id) {
  return SendHostMessage(WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(child));
}

BOOL CSomWndManager::PostHostMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  return host_ ? ::PostMessageW(host_, msg, wParam, lParam) : FALSE;
}

void CSomWndManager::InvalidateOrBatch(const RECT& rect) {
  if (deferred_) {
    ::UnionRect(deferred_.get(), deferred_.get(), &rect);
  } else if (host_ && redraw_) {
    ::InvalidateRect(host_, &rect, FALSE);
  }
}

void CSomWndManager::SetWndBounds(CSomWnd* child, int x, int y, int cx, int cy) {
  const RECT old = child->Rect();
  const RECT now = {x, y, x + cx, y + cy};
  if (::EqualRect(&old, &now)) return;
  if (child->IsVisible()) InvalidateOrBatch(old);
  child->StoreRect(now);
  if (child->IsVisible()) InvalidateOrBatch(now);
  if (old.left != x || old.top != y) child->OnMove(x, y);
  if (old.right - old.left != cx || old.bottom - old.top != cy) child->OnSize(cx, cy);
  if (immediatePaint_ && !deferred_ && host_) ::UpdateWindow(host_);
}

void CSomWndManager::SetWndSize(CSomWnd* child, int cx, int cy) {
  // An unchanged size still repaints: a control resizes itself after its
  // content changed, and what it showed before must go.
  const RECT old = child->Rect();
  const bool resized = old.right - old.left != cx || old.bottom - old.top != cy;
  if (child->IsVisible()) InvalidateOrBatch(old);
  child->StoreRect({old.left, old.top, old.left + cx, old.top + cy});
  if (child->IsVisible()) InvalidateOrBatch(child->Rect());
  if (resized) child->OnSize(cx, cy);
  if (immediatePaint_ && !deferred_ && host_) ::UpdateWindow(host_);
}

void CSomWndManager::SetWndPos(CSomWnd* child, int x, int y) {
  const RECT old = child->Rect();
  if (old.left == x && old.top == y) return;
  if (child->IsVisible()) InvalidateOrBatch(old);
  child->StoreRect({x, y, x + old.right - old.left, y + old.bottom - old.top});
  if (child->IsVisible()) InvalidateOrBatch(child->Rect());
  child->OnMove(x, y);
  if (immediatePaint_ && !deferred_ && host_) ::UpdateWindow(host_);
}

void CSomWndManager::InvalidateWnd(CSomWnd* child, const RECT* subRect, bool force, int part) {
  if (!redraw_ || !host_ || !child) return;
  const bool visible = child->IsVisible();
  const bool withBackground = visible ? child->IsTransparent() : force;
  if (!visible && !force) return;
  RECT area = child->Rect();
  if (subRect) {
    RECT moved = *subRect;
    ::OffsetRect(&moved, child->Rect().left, child->Rect().top);
    if (!::IntersectRect(&area, &moved, &child->Rect())) return;
  }
  if (::IsRectEmpty(&area)) return;
  // A hidden host is painted whole when it is shown; drawing there first
  // would only be thrown away.
  if (!immediatePaint_ || deferred_ || !::IsWindowVisible(host_)) {
    if (deferred_)
      ::UnionRect(deferred_.get(), deferred_.get(), &area);
    else
      ::InvalidateRect(host_, &area, FALSE);
    return;
  }
  HDC hostDc = ::GetDC(host_);
  if (!hostDc) return;
  RECT client;
  ::GetClientRect(host_, &client);
  // The screen changes only inside the area and never where a child earlier
  // in the list (above this one) lies: the off-screen copy holds nothing
  // there.
  ::IntersectClipRect(hostDc, area.left, area.top, area.right, area.bottom);
  if (visible) {
    for (CSomWnd* above : children_) {
      if (above == child) break;
      if (above->IsVisible() && Intersects(above->Rect(), area))
        ::ExcludeClipRect(hostDc, above->Rect().left, above->Rect().top, above->Rect().right,
                          above->Rect().bottom);
    }
  }
  std::unique_ptr<OffScreen> off;
  if (UseDoubleBuffer()) off = std::make_unique<OffScreen>(hostDc, client.right, client.bottom);
  HDC dc = off && off->Valid() ? off->Get() : hostDc;
  if (dc != hostDc) ::IntersectClipRect(dc, area.left, area.top, area.right, area.bottom);
  if (visible) {
    if (!withBackground && dc != hostDc) {
      // The off-screen copy starts from the host's background, never from
      // the screen: semi-transparent edges and text would be drawn over
      // what the control showed before and build up with every repaint.
      EraseBackground(dc, &area);
    }
    PaintChild(dc, child, true, withBackground, false, part);
  } else {
    // A hidden child leaves its background, and what lies below it shows again.
    EraseBackground(dc, &area);
    PaintChildren(dc, area);
  }
  if (dc != hostDc) off->CopyBack(area);
  ::ReleaseDC(host_, hostDc);
}

UINT CSomWndManager::AddTip(CSomWnd* child, UINT subId, const RECT* rect) {
  if (!child) return 0;
  auto& mine = toolsOfChild_[child];
  if (mine.count(subId)) return 0;
  UINT id = 1;
  while (tools_.count(id)) ++id;
  RECT area = child->Rect();
  if (rect) {
    area = *rect;
    ::OffsetRect(&area, child->Rect().left, child->Rect().top);
  }
  tools_[id] = Tool{child, subId, area};
  mine[subId] = id;
  if (toolTip_) {
    TOOLINFOW info = {};
    info.cbSize = 48;
    info.uFlags = 0;
    info.hwnd = toolOwner_;
    info.uId = id;
    info.rect = area;
    info.hinst = ::GetModuleHandleW(nullptr);
    info.lpszText = LPSTR_TEXTCALLBACKW;
    ::SendMessageW(toolTip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
  }
  return id;
}

void CSomWndManager::RemoveTip(CSomWnd* child) {
  auto found = toolsOfChild_.find(child);
  if (found == toolsOfChild_.end()) return;
  for (const auto& entry : found->second) {
    if (toolTip_) {
      TOOLINFOW info = {};
      info.cbSize = 48;
      info.hwnd = toolOwner_;
      info.uId = entry.second;
      ::SendMessageW(toolTip_, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&info));
    }
    tools_.erase(entry.second);
  }
  toolsOfChild_.erase(found);
}

void CSomWndManager::ResumeImmediatePaint() {
  immediatePaint_ = true;
  if (redraw_ && host_) ::UpdateWindow(host_);
}

void CSomWndManager::EraseBackground(HDC dc, const RECT* rect) {
  if (!host_) return;
  HBRUSH brush = reinterpret_cast<HBRUSH>(::GetClassLongPtrW(host_, GCLP_HBRBACKGROUND));
  if (!brush) return;
  // A system colour index + 1 stands for that colour's brush.
  if (reinterpret_cast<UINT_PTR>(brush) <= COLOR_MENUBAR + 1)
    brush = ::GetSysColorBrush(static_cast<int>(reinterpret_cast<UINT_PTR>(brush)) - 1);
  RECT area;
  if (rect)
    area = *rect;
  else
    ::GetClipBox(dc, &area);
  ::FillRect(dc, &area, brush);
}

void CSomWndManager::PaintChildren(HDC dc, const RECT& rect) {
  const int saved = ::SaveDC(dc);
  for (CSomWnd* child : children_) {
    if (child->IsVisible() && Intersects(child->Rect(), rect))
      PaintChild(dc, child, true, child->IsTransparent(), true, 0);
  }
  ::RestoreDC(dc, saved);
}

void CSomWndManager::PaintChild(HDC dc, CSomWnd* child, bool draw, bool withBackground,
                                bool exclude, int part) {
  const RECT r = child->Rect();
  const int w = r.right - r.left, h = r.bottom - r.top;
  HDC target = dc;
  HDC scratch = ScratchDC();
  if (withBackground) {
    if (draw && scratch && w <= kScratchWidth && h <= kScratchHeight) {
      target = scratch;
      ::SetViewportOrgEx(scratch, -r.left, -r.top, nullptr);
    }
    EraseBackground(target, &r);
  }
  if (draw) {
    if (target == dc) {
      POINT old;
      ::OffsetViewportOrgEx(dc, r.left, r.top, &old);
      child->OnPaint(dc, -1, part);
      ::SetViewportOrgEx(dc, old.x, old.y, nullptr);
    } else {
      ::SetViewportOrgEx(scratch, 0, 0, nullptr);
      child->OnPaint(scratch, -1, part);
      ::BitBlt(dc, r.left, r.top, w, h, scratch, 0, 0, SRCCOPY);
    }
  }
  if (exclude) ::ExcludeClipRect(dc, r.left, r.top, r.right, r.bottom);
}

void CSomWndManager::Paint(HDC given) {
  PAINTSTRUCT ps = {};
  HDC dc = given;
  RECT paintRect;
  if (given) {
    ::GetClipBox(given, &paintRect);
  } else {
    dc = ::BeginPaint(host_, &ps);
    paintRect = ps.rcPaint;
  }
  if (dc) {
    if (UseDoubleBuffer()) {
      RECT client;
      ::GetClientRect(host_, &client);
      OffScreen off(dc, client.right, client.bottom);
      if (off.Valid()) {
        ::IntersectClipRect(off.Get(), paintRect.left, paintRect.top, paintRect.right,
                            paintRect.bottom);
        EraseBackground(off.Get(), &paintRect);
        PaintChildren(off.Get(), paintRect);
        ::BitBlt(dc, 0, 0, client.right, client.bottom, off.Get(), 0, 0, SRCCOPY);
      } else {
        EraseBackground(dc, &paintRect);
        PaintChildren(dc, paintRect);
      }
    } else {
      EraseBackground(dc, &paintRect);
      PaintChildren(dc, paintRect);
    }
  }
  if (!given) ::EndPaint(host_, &ps);
}

CSomWnd* CSomWndManager::HitTest(POINT point) const {
  for (CSomWnd* child : children_) {
    if (child->IsVisible() && child->IsEnabled() && ::PtInRect(&child->Rect(), point)) return child;
  }
  return nullptr;
}

void CSomWndManager::BeginDeferredUpdate() { deferred_ = std::make_unique<RECT>(RECT{0, 0, 0, 0}); }

void CSomWndManager::EndDeferredUpdate() {
  if (!deferred_) return;
  const RECT area = *deferred_;
  OnLayoutChanged(area);
  deferred_.reset();
  if (host_) ::RedrawWindow(host_, &area, nullptr, RDW_UPDATENOW | RDW_ERASE | RDW_INVALIDATE);
}

void CSomWndManager::Reset() {
  host_ = nullptr;
  children_.clear();
  children_.shrink_to_fit();
  capture_ = nullptr;
  hover_ = nullptr;
  redraw_ = true;
  immediatePaint_ = true;
  deferred_.reset();
  tools_.clear();
  toolsOfChild_.clear();
  toolTip_ = nullptr;  // the control dies with its host
  toolOwner_ = nullptr;
}

bool CSomWndManager::ProcessSkinMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                        LRESULT* result) {
  *result = 0;
  // A window being torn down is never adopted (its last messages would
  // otherwise start the timer again).
  if (!host_ && message != WM_DESTROY && message != WM_NCDESTROY) {
    host_ = window;
    ::SetTimer(host_, kTimerId, kTimerMs, nullptr);
  }
  if (!host_) return false;
  switch (message) {
    case WM_PAINT:
    case WM_PRINTCLIENT:
      Paint(message == WM_PRINTCLIENT || wParam ? reinterpret_cast<HDC>(wParam) : nullptr);
      return true;
    case WM_ERASEBKGND:
      *result = 1;
      return true;
    case WM_SETREDRAW:
      redraw_ = wParam != 0;
      return false;
    case WM_SETCURSOR: {
      POINT p;
      ::GetCursorPos(&p);
      ::ScreenToClient(host_, &p);
      CSomWnd* target = capture_ ? capture_ : HitTest(p);
      if (!target) return false;
      const bool handled = target->OnSetCursor(Local(target, p));
      *result = handled;
      return handled;
    }
    case WM_MOUSEMOVE: {
      const POINT p = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      if (capture_) {
        CSomWnd* c = capture_;
        const bool inside = ::PtInRect(&c->Rect(), p) != FALSE;
        if (!inside && hover_ == c) {
          hover_ = nullptr;
          c->OnMouseLeave();
        } else if (inside && !hover_) {
          hover_ = c;
          c->OnMouseEnter(Local(c, p));
        }
        return c->OnMouseMove(Local(c, p));
      }
      CSomWnd* hit = HitTest(p);
      if (hit != hover_) {
        CSomWnd* old = hover_;
        hover_ = hit;
        if (old) old->OnMouseLeave();
        if (hit) hit->OnMouseEnter(Local(hit, p));
      }
      if (hover_) hover_->OnMouseMove(Local(hover_, p));
      return false;
    }
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK: {
      const POINT p = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      CSomWnd* target = capture_ ? capture_ : HitTest(p);
      if (!target) return false;
      const POINT local = Local(target, p);
      if (message == WM_LBUTTONDOWN) return target->OnLButtonDown(local);
      if (message == WM_LBUTTONUP) return target->OnLButtonUp(local);
      return target->OnLButtonDblClk(local);
    }
    case WM_CAPTURECHANGED:
      if (capture_) {
        CSomWnd* c = capture_;
        capture_ = nullptr;
        c->OnCaptureLost();
      }
      return false;
    case WM_TIMER: {
      if (wParam != kTimerId) return false;
      if (hover_ && !capture_) {
        POINT p;
        ::GetCursorPos(&p);
        POINT client = p;
        ::ScreenToClient(host_, &client);
        RECT rc;
        ::GetClientRect(host_, &rc);
        if (!::PtInRect(&rc, client) || ::WindowFromPoint(p) != host_) {
          CSomWnd* old = hover_;
          hover_ = nullptr;
          old->OnMouseLeave();
        }
      }
      // A child may change the list from its timer; walk a copy.
      const std::vector<CSomWnd*> children = children_;
      for (CSomWnd* child : children) child->OnTimer();
      return true;
    }
    case WM_NOTIFY: {
      auto* header = reinterpret_cast<NMHDR*>(lParam);
      if (!header || header->code != TTN_GETDISPINFOW) return false;
      auto* info = reinterpret_cast<NMTTDISPINFOW*>(lParam);
      if (info->uFlags & TTF_IDISHWND) return true;
      auto found = tools_.find(static_cast<UINT>(header->idFrom));
      if (found != tools_.end()) found->second.child->OnGetTipText(found->second.subId, info);
      return true;
    }
    case WM_DESTROY: {
      ::KillTimer(host_, kTimerId);
      if (hover_) {
        CSomWnd* old = hover_;
        hover_ = nullptr;
        old->OnMouseLeave();
      }
      if (capture_) {
        CSomWnd* c = capture_;
        capture_ = nullptr;
        c->OnCaptureLost();
      }
      const std::vector<CSomWnd*> children = children_;
      for (CSomWnd* child : children) {
        child->OnDestroy();
        child->Detach();
      }
      Reset();
      return false;
    }
    default:
      return false;
  }
}

}  // namespace lum
