// Enabling privileges of the installer's own process token (hive loading,
// taking ownership, restoring owners, shutting down).
#pragma once
#include <initializer_list>

namespace lum {

// Enables every named privilege ("SeBackupPrivilege", ...) in this process's
// token. True only when the token could be opened and each one was enabled;
// the others are still tried after a failure.
bool EnableProcessPrivileges(std::initializer_list<const wchar_t*> names);

}  // namespace lum
