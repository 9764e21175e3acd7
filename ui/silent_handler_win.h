// The hidden window of a silent run. It runs the main thread's message loop
// while the install body works on a thread of its own, and ends the loop a
// short while after the body posts kSilentDone. During an update with
// prompts it keeps a blinking tray icon and holds off log-off and shutdown.
//
// Threading: created, run and destroyed on the main thread; other threads
// only post kSilentDone to Window().
#pragma once
#include <windows.h>
// shellapi.h builds on windows.h.
#include <shellapi.h>

#include <string>

#include "install/silent_loop_win.h"

namespace lum {

class CSilentMsgHanlder : public SilentLoop {
 public:
  static constexpr UINT kShowPrompt = WM_USER + 1;  // 1025; wParam 1: log-off
  static constexpr UINT_PTR kBlinkTimer = 100;
  static constexpr UINT_PTR kQuitTimer = 200;
  static constexpr UINT kBlinkMs = 500;
  static constexpr UINT kQuitDelayMs = 5000;

  CSilentMsgHanlder() = default;
  ~CSilentMsgHanlder() override;
  CSilentMsgHanlder(const CSilentMsgHanlder&) = delete;
  CSilentMsgHanlder& operator=(const CSilentMsgHanlder&) = delete;

  // Creates the hidden window; `updatePrompts` turns on the tray icon and the
  // log-off/shutdown prompts. False when the window cannot be created.
  bool Create(bool updatePrompts) override;
  // Runs the message loop until the quit message; returns its exit code.
  int Run() override;
  HWND Window() const override { return window_; }
  // How long the loop waits after kSilentDone before it quits (tests shorten it).
  void SetQuitDelay(UINT ms) { quitDelayMs_ = ms; }
  // What the tray shows now, and the two images of the blinking icon.
  const NOTIFYICONDATAW& TrayData() const { return notify_; }
  HICON TrayIcon(int phase) const { return icons_[phase & 1]; }
  // The reason given to the session-end block (empty while none was made).
  const std::wstring& BlockReason() const { return blockReason_; }

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
  void ShowPrompt(bool logoff);
  void AddTrayIcon();
  void RemoveTrayIcon();

  HWND window_ = nullptr;
  WNDPROC staticProc_ = nullptr;
  bool updatePrompts_ = false;
  bool promptShown_ = false;
  bool trayIconAdded_ = false;
  bool messageBoxOpen_ = false;
  int iconIndex_ = 0;
  HICON icons_[2] = {nullptr, nullptr};
  NOTIFYICONDATAW notify_ = {};
  UINT quitDelayMs_ = kQuitDelayMs;
  std::wstring blockReason_;
};

}  // namespace lum
