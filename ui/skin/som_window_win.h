// A real top-level (or owned popup) window whose messages go to one C++
// object, and the interface thread's message loop with its message filters.
// The installer's skinned windows (main window, options strip, shadow, notice
// page) derive from CSomWindow and usually also from CSomWndManager, whose
// ProcessSkinMessage they call first.
//
// Threading: the interface thread only. The loop is process-wide because the
// installer has exactly one interface thread.
#pragma once
#include <windows.h>

#include <vector>

namespace lum {

// Gets every queued message of the loop before it is dispatched; true means
// "handled, do not dispatch" (IsDialogMessageW for keyboard navigation).
class CMessageFilter {
 public:
  virtual ~CMessageFilter() = default;
  virtual BOOL PreTranslateMessage(MSG* msg) = 0;
};

class CMessageLoop {
 public:
  void AddMessageFilter(CMessageFilter* filter);
  void RemoveMessageFilter(CMessageFilter* filter);
  // Runs until WM_QUIT; returns its wParam (the run's result).
  int Run();
  // Offers `msg` to the filters, newest first.
  bool PreTranslate(MSG* msg);

 private:
  std::vector<CMessageFilter*> filters_;
};

// The interface thread's loop.
CMessageLoop& MessageLoop();

class CSomWindow {
 public:
  CSomWindow() = default;
  CSomWindow(const CSomWindow&) = delete;
  CSomWindow& operator=(const CSomWindow&) = delete;
  virtual ~CSomWindow();

  // Registers `className` on first use (double clicks, arrow cursor, no
  // background brush: the skin erases) and creates the window. `rect` is in
  // screen coordinates; null on failure (logged).
  HWND CreateSomWindow(const wchar_t* className, HWND owner, const RECT& rect,
                       const wchar_t* title, DWORD style, DWORD exStyle);
  // A subclass calls this in its own destructor: its WM_DESTROY handling
  // (message filters, owned windows) cannot run from the base's.
  void DestroySomWindow();
  HWND Window() const { return window_; }

 protected:
  // True when handled; `result` is then returned to Windows.
  virtual bool ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                    LRESULT& result) = 0;
  // After WM_NCDESTROY; Window() is null again.
  virtual void OnFinalMessage(HWND window) {}

  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  template <class T>
  friend LRESULT RouteToWindowObject(HWND, UINT, WPARAM, LPARAM);
  void OnWindowBound(HWND window);
  void OnWindowUnbound(HWND window);

  HWND window_ = nullptr;
};

}  // namespace lum
