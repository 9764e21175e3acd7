#include "tray/call_deadline_win.h"

namespace lum {
namespace tray {

CallDeadline::CallDeadline(HANDLE pipe, DWORD limitMs) : pipe_(pipe), limitMs_(limitMs) {
  if (pipe_ == nullptr || pipe_ == INVALID_HANDLE_VALUE) return;
  finished_.Reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!finished_) return;
  watcher_.Reset(::CreateThread(nullptr, 0, &CallDeadline::Watch, this, 0, nullptr));
}

void CallDeadline::Finish() {
  if (!watcher_) return;
  ::SetEvent(finished_.Get());
  ::WaitForSingleObject(watcher_.Get(), INFINITE);
  watcher_.Reset();
}

DWORD WINAPI CallDeadline::Watch(void* self) {
  auto* deadline = static_cast<CallDeadline*>(self);
  if (::WaitForSingleObject(deadline->finished_.Get(), deadline->limitMs_) != WAIT_TIMEOUT)
    return 0;
  deadline->expired_.store(true);
  do {
    ::CancelIoEx(deadline->pipe_, nullptr);
  } while (::WaitForSingleObject(deadline->finished_.Get(), 50) == WAIT_TIMEOUT);
  return 0;
}

}  // namespace tray
}  // namespace lum
