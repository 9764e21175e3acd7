// Taking out of the system's restart-time list ("PendingFileRenameOperations")
// what is no longer there to act on: the folders of earlier runs that have
// been removed now. Without this every run would leave its entries behind
// and the list would grow by one run's worth each time.
//
// Threading: any thread; the list is rewritten under the machine-wide lock
// of pending_renames_lock_win.h.
#pragma once
#include <string>
#include <vector>

namespace lum {

// Drops every operation whose source is one of `folders` or lies inside
// one. The number dropped; -1 when the list could not be read (absent,
// not REG_MULTI_SZ, malformed), locked, or written back. Logged under
// `logTag`.
int DropRestartEntriesUnder(const std::vector<std::wstring>& folders, const char* logTag);

}  // namespace lum
