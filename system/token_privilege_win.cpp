#include "system/token_privilege_win.h"

#include <windows.h>

#include "system/win_handle_win.h"

namespace lum {
namespace {

bool EnableInToken(HANDLE token, const wchar_t* name) {
  TOKEN_PRIVILEGES privileges = {};
  privileges.PrivilegeCount = 1;
  privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  if (!::LookupPrivilegeValueW(nullptr, name, &privileges.Privileges[0].Luid)) return false;
  // AdjustTokenPrivileges succeeds with ERROR_NOT_ALL_ASSIGNED when the token
  // does not hold the privilege at all.
  return ::AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr) &&
         ::GetLastError() == ERROR_SUCCESS;
}

}  // namespace

bool EnableProcessPrivileges(std::initializer_list<const wchar_t*> names) {
  UniqueHandle token;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY,
                          token.Put())) {
    return false;
  }
  bool all = true;
  for (const wchar_t* name : names) all &= EnableInToken(token.Get(), name);
  return all;
}

}  // namespace lum
