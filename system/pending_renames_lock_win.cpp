#include "system/pending_renames_lock_win.h"

#include <string>

#include "base/install_log.h"
#include "system/named_object_rights_win.h"

namespace lum {

namespace {
constexpr const wchar_t kLockName[] = L"Global\\LumBastionPendingRenames";
}  // namespace

PendingRenamesLock::PendingRenamesLock(const char* logTag, DWORD waitMs)
    : mutex_(CreateSharedMutex(kLockName, logTag)) {
  if (!mutex_) return;
  const DWORD waited = ::WaitForSingleObject(mutex_.Get(), waitMs);
  // An owner that ended without letting go leaves the list as it wrote it:
  // each write is one whole value, so the lock is usable again.
  held_ = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
  if (!held_)
    log::Action(logTag,
                L"restart-time list lock not taken within " + std::to_wstring(waitMs) + L" ms",
                kLockName, static_cast<long>(waited == WAIT_TIMEOUT ? WAIT_TIMEOUT : ::GetLastError()));
}

PendingRenamesLock::~PendingRenamesLock() {
  if (held_) ::ReleaseMutex(mutex_.Get());
}

}  // namespace lum
