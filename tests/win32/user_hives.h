// Test support for users who are not logged on: the privileges that hive
// loading needs, and hive files made from a scratch key of the test's HKCU.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "base/text.h"
#include "system/registry_win.h"
#include "system/win_handle_win.h"

namespace lum {
namespace testing_hives {

inline void EnableBackupAndRestore() {
  HANDLE raw = nullptr;
  ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &raw));
  UniqueHandle token(raw);
  for (const wchar_t* name : {SE_BACKUP_NAME, SE_RESTORE_NAME}) {
    TOKEN_PRIVILEGES p = {};
    p.PrivilegeCount = 1;
    p.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    LookupPrivilegeValueW(nullptr, name, &p.Privileges[0].Luid);
    AdjustTokenPrivileges(token.Get(), FALSE, &p, 0, nullptr, nullptr);
  }
}

// Saves a hive file whose content `fill` writes into the scratch key `scratchPath`.
template <typename Fill>
void SaveHive(const std::wstring& file, const wchar_t* scratchPath, Fill fill) {
  RegKey::DeleteTree(HKEY_CURRENT_USER, scratchPath);
  RegKey scratch;
  ASSERT_TRUE(scratch.Create(HKEY_CURRENT_USER, scratchPath, KEY_ALL_ACCESS));
  fill(scratch.Get());
  DeleteFileW(file.c_str());
  ASSERT_EQ(ERROR_SUCCESS, RegSaveKeyW(scratch.Get(), file.c_str(), nullptr)) << WideToUtf8(file);
  scratch = RegKey();
  RegKey::DeleteTree(HKEY_CURRENT_USER, scratchPath);
}

}  // namespace testing_hives
}  // namespace lum
