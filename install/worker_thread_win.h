// A worker thread that owns a message-only window and runs its message loop,
// so that other threads hand it work by posting messages.
//
// Threading contract: Start() and Stop() are called by the owning thread
// (the main thread). ProcessWindowMessage, OnThreadInit, OnThreadExit and
// OnFinalMessage run on the worker thread. The window-created event is
// signalled on the worker thread as soon as the window handle exists (before
// WM_CREATE is handled), so an owner that waits for it never waits for work
// done in WM_CREATE. A class that derives from this one must call Stop() in
// its own destructor, while its overrides still exist.
#pragma once
#include <windows.h>

#include "system/win_handle_win.h"
#include "system/window_object_win.h"

namespace lum {

template <typename T>
class CSomWorkerThread {
 public:
  CSomWorkerThread() : windowCreated_(::CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}
  CSomWorkerThread(const CSomWorkerThread&) = delete;
  CSomWorkerThread& operator=(const CSomWorkerThread&) = delete;

  // Answers true when the message was handled (`result` is then returned).
  virtual bool ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                    LRESULT& result) = 0;
  virtual ~CSomWorkerThread() { Stop(); }
  virtual WNDPROC GetWindowProc() { return &CSomWorkerThread::WindowProc; }
  virtual void OnFinalMessage(HWND) {}
  // True to enter the message loop.
  virtual bool OnThreadInit() { return true; }
  virtual void OnThreadExit() {}

  // Starts the thread and waits up to `waitMs` for its window. False when the
  // thread could not be started (a window that is late is not a failure).
  bool Start(DWORD waitMs) {
    if (thread_) return true;
    DWORD id = 0;
    thread_.Reset(::CreateThread(nullptr, 0, &CSomWorkerThread::ThreadMain, this, 0, &id));
    if (!thread_) return false;
    threadId_ = id;
    ::WaitForSingleObject(windowCreated_.Get(), waitMs);
    return true;
  }

  // Asks the thread to quit (once more after 100 ms if the first post fails),
  // waits without limit and closes its handle.
  void Stop() {
    if (!thread_) return;
    if (!::PostThreadMessageW(threadId_, WM_QUIT, 0, 0)) {
      ::Sleep(100);
      ::PostThreadMessageW(threadId_, WM_QUIT, 0, 0);
    }
    ::WaitForSingleObject(thread_.Get(), INFINITE);
    thread_.Reset();
    threadId_ = 0;
  }

  HWND Window() const { return window_; }
  bool Running() const { return thread_.Valid(); }

 protected:
  static constexpr const wchar_t* kClassName = L"LumSomWorkerThreadWnd";

  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return RouteToWindowObject<CSomWorkerThread>(window, message, wParam, lParam);
  }

 public:
  void OnWindowBound(HWND window) {
    window_ = window;
    ::SetEvent(windowCreated_.Get());
  }
  void OnWindowUnbound(HWND window) {
    window_ = nullptr;
    OnFinalMessage(window);
  }

 private:
  static DWORD WINAPI ThreadMain(void* parameter) {
    auto* self = static_cast<CSomWorkerThread*>(parameter);
    if (self->OnThreadInit()) {
      WNDCLASSEXW wc = {sizeof(wc)};
      wc.lpfnWndProc = self->GetWindowProc();
      wc.hInstance = ::GetModuleHandleW(nullptr);
      wc.lpszClassName = kClassName;
      ::RegisterClassExW(&wc);  // an earlier registration is fine
      HWND window = ::CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                      wc.hInstance, self);
      MSG msg;
      while (window && ::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
      }
      if (window && ::IsWindow(window)) ::DestroyWindow(window);
    }
    self->OnThreadExit();
    return 0;
  }

  UniqueHandle windowCreated_;
  UniqueHandle thread_;
  DWORD threadId_ = 0;
  HWND window_ = nullptr;
};

}  // namespace lum
