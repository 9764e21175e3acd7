// Answers the modal boxes a test's own window thread opens, the way a person
// would click them: a helper thread finds each visible dialog of that thread,
// notes whether the given window was disabled under it, and posts the answer.
#pragma once
#include <windows.h>

#include <atomic>
#include <thread>
#include <vector>

namespace lum {

class BoxAnswerer {
 public:
  // `answer` is the command id posted to every box; `watched` (may be null)
  // is the window whose disabled state is noted at each box.
  BoxAnswerer(WORD answer, HWND watched)
      : answer_(answer), watched_(watched), thread_(::GetCurrentThreadId()) {
    worker_ = std::thread([this] { Run(); });
  }
  ~BoxAnswerer() {
    stop_ = true;
    worker_.join();
  }
  BoxAnswerer(const BoxAnswerer&) = delete;
  BoxAnswerer& operator=(const BoxAnswerer&) = delete;

  void SetAnswer(WORD answer) { answer_ = answer; }
  int Answered() const { return answered_; }
  // How many boxes found the watched window disabled.
  int WatchedDisabled() const { return watchedDisabled_; }

 private:
  static BOOL CALLBACK Visit(HWND window, LPARAM self) {
    auto* me = reinterpret_cast<BoxAnswerer*>(self);
    wchar_t name[16] = {};
    ::GetClassNameW(window, name, 16);
    if (::IsWindowVisible(window) && lstrcmpW(name, L"#32770") == 0) me->found_.push_back(window);
    return TRUE;
  }
  void Run() {
    while (!stop_) {
      found_.clear();
      ::EnumThreadWindows(thread_, &BoxAnswerer::Visit, reinterpret_cast<LPARAM>(this));
      for (HWND box : found_) {
        // The mark goes with the window, so a later box is never mistaken
        // for one already answered.
        if (::GetPropW(box, L"LumAnswered")) continue;
        ::SetPropW(box, L"LumAnswered", reinterpret_cast<HANDLE>(1));
        if (watched_ && !::IsWindowEnabled(watched_)) ++watchedDisabled_;
        ++answered_;
        ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(answer_.load(), 0), 0);
      }
      ::Sleep(30);
    }
  }

  std::atomic<WORD> answer_;
  HWND watched_;
  DWORD thread_;
  std::atomic<bool> stop_{false};
  std::atomic<int> answered_{0};
  std::atomic<int> watchedDisabled_{0};
  std::vector<HWND> found_;
  std::thread worker_;
};

}  // namespace lum
