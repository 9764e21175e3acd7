#include "system/restart_list_cleanup_win.h"

#include <windows.h>

#include "base/install_log.h"
#include "system/pending_renames.h"
#include "system/pending_renames_lock_win.h"
#include "system/placement_files_win.h"
#include "system/registry_win.h"

namespace lum {

int DropRestartEntriesUnder(const std::vector<std::wstring>& folders, const char* logTag) {
  if (folders.empty()) return 0;
  PendingRenamesLock lock(logTag);
  if (!lock.Held()) return -1;
  RegKey key;
  std::vector<uint8_t> data;
  std::vector<PendingRename> list;
  if (!key.Open(HKEY_LOCAL_MACHINE, kSessionManagerKey, KEY_QUERY_VALUE | KEY_SET_VALUE) ||
      !ReadPendingValue(key.Get(), &data))
    return -1;
  if (!ParsePendingRenames(data.data(), data.size(), &list)) {
    log::Action(logTag, L"restart-time list malformed, left untouched", kPendingRenamesValue, 1);
    return -1;
  }
  size_t dropped = 0;
  for (const std::wstring& folder : folders) dropped += RemovePendingUnder(&list, folder);
  if (dropped == 0) return 0;
  const std::vector<uint8_t> bytes = SerializePendingRenames(list);
  const LONG result = ::RegSetValueExW(key.Get(), kPendingRenamesValue, 0, REG_MULTI_SZ,
                                       bytes.data(), static_cast<DWORD>(bytes.size()));
  log::Action(logTag,
              L"restart-time list written back (" + std::to_wstring(list.size()) + L" kept, " +
                  std::to_wstring(dropped) + L" of removed folders dropped)",
              kPendingRenamesValue, result);
  return result == ERROR_SUCCESS ? static_cast<int>(dropped) : -1;
}

}  // namespace lum
