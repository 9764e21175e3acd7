#include "ui/skin/som_window_win.h"

#include <algorithm>

#include "base/install_log.h"
#include "system/window_object_win.h"

namespace lum {

void CMessageLoop::AddMessageFilter(CMessageFilter* filter) {
  if (filter && std::find(filters_.begin(), filters_.end(), filter) == filters_.end())
    filters_.push_back(filter);
}

void CMessageLoop::RemoveMessageFilter(CMessageFilter* filter) {
  filters_.erase(std::remove(filters_.begin(), filters_.end(), filter), filters_.end());
}

bool CMessageLoop::PreTranslate(MSG* msg) {
  // A filter may remove itself (its window closes) while it runs: walk a copy.
  const std::vector<CMessageFilter*> filters(filters_.rbegin(), filters_.rend());
  for (CMessageFilter* filter : filters) {
    if (std::find(filters_.begin(), filters_.end(), filter) == filters_.end()) continue;
    if (filter->PreTranslateMessage(msg)) return true;
  }
  return false;
}

int CMessageLoop::Run() {
  MSG msg;
  for (;;) {
    const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0) return static_cast<int>(msg.wParam);
    if (got == -1) {
      log::Action("ui", L"message loop", L"", static_cast<long>(::GetLastError()));
      return -1;
    }
    if (PreTranslate(&msg)) continue;
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
}

CMessageLoop& MessageLoop() {
  static CMessageLoop loop;
  return loop;
}

// By now the subclass is gone: its messages must not reach it, so the window
// is cut loose first and only Windows' default handling sees its last ones.
CSomWindow::~CSomWindow() {
  if (!window_) return;
  ::SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
  if (::IsWindow(window_)) ::DestroyWindow(window_);
  window_ = nullptr;
}

HWND CSomWindow::CreateSomWindow(const wchar_t* className, HWND owner, const RECT& rect,
                                 const wchar_t* title, DWORD style, DWORD exStyle) {
  HINSTANCE instance = ::GetModuleHandleW(nullptr);
  WNDCLASSEXW known = {sizeof(known)};
  if (!::GetClassInfoExW(instance, className, &known)) {
    WNDCLASSEXW wc = {sizeof(wc)};
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = &CSomWindow::WindowProc;
    wc.hInstance = instance;
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = className;
    if (!::RegisterClassExW(&wc) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
      log::Action("ui", L"register window class", className,
                  static_cast<long>(::GetLastError()));
      return nullptr;
    }
  }
  HWND created = ::CreateWindowExW(exStyle, className, title ? title : L"", style, rect.left,
                                   rect.top, rect.right - rect.left, rect.bottom - rect.top,
                                   owner, nullptr, instance, this);
  if (!created)
    log::Action("ui", L"create window", className, static_cast<long>(::GetLastError()));
  return created;
}

void CSomWindow::DestroySomWindow() {
  if (window_ && ::IsWindow(window_)) ::DestroyWindow(window_);
}

LRESULT CALLBACK CSomWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return RouteToWindowObject<CSomWindow>(window, message, wParam, lParam);
}

void CSomWindow::OnWindowBound(HWND window) { window_ = window; }

void CSomWindow::OnWindowUnbound(HWND window) {
  window_ = nullptr;
  OnFinalMessage(window);
}

}  // namespace lum
