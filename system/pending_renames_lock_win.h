// The system's list of restart-time operations ("PendingFileRenameOperations")
// is one registry value: taking an entry out means reading the whole list and
// writing it back. Two installers doing that at once (another session, a
// deployment tool's second run) would drop each other's entries, so every
// such read-modify-write holds this machine-wide lock. Its mutex gets
// explicit rights, and one of that name that someone else made is refused;
// the wait for it is bounded.
#pragma once
#include <windows.h>

#include "system/win_handle_win.h"

namespace lum {

class PendingRenamesLock {
 public:
  // Waits at most `waitMs` for the lock; Held() tells whether it was taken
  // (logged either way under `logTag`).
  PendingRenamesLock(const char* logTag, DWORD waitMs = 30000);
  ~PendingRenamesLock();
  PendingRenamesLock(const PendingRenamesLock&) = delete;
  PendingRenamesLock& operator=(const PendingRenamesLock&) = delete;
  bool Held() const { return held_; }

 private:
  UniqueHandle mutex_;
  bool held_ = false;
};

}  // namespace lum
