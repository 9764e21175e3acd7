// A deadline for one blocking call over the tray service pipe. The protocol
// library waits for the service's answer without a time limit, so a service
// that accepts a request and never answers would hold the install for ever.
// While a CallDeadline lives, a watcher thread waits for it to end; past the
// limit it cancels every pending I/O on the pipe (again every 50 ms, in case
// a cancel falls between two reads), so the library's wait fails and it
// throws a transport error that the caller turns into -4.
//
// Threads: construct and destroy on the thread that makes the call; the
// watcher touches nothing but the pipe's pending I/O and its own state. The
// pipe handle must stay open until Finish() or destruction.
#pragma once
#include <windows.h>

#include <atomic>

#include "system/win_handle_win.h"

namespace lum {
namespace tray {

constexpr DWORD kTrayCallLimitMs = 10000;

class CallDeadline {
 public:
  explicit CallDeadline(HANDLE pipe, DWORD limitMs = kTrayCallLimitMs);
  ~CallDeadline() { Finish(); }
  CallDeadline(const CallDeadline&) = delete;
  CallDeadline& operator=(const CallDeadline&) = delete;

  // Ends the watch; call it before the pipe is closed. Idempotent.
  void Finish();
  // True once the limit passed and the pipe's I/O was cancelled.
  bool Expired() const { return expired_.load(); }

 private:
  static DWORD WINAPI Watch(void* self);

  HANDLE pipe_;
  DWORD limitMs_;
  UniqueHandle finished_;
  UniqueHandle watcher_;
  std::atomic<bool> expired_{false};
};

}  // namespace tray
}  // namespace lum
