#include "system/reboot_ops_win.h"

#include <windows.h>

#include <vector>

#include "base/install_log.h"
#include "base/text.h"
#include "system/file_ops_win.h"
#include "system/pending_renames_lock_win.h"
#include "system/registry_win.h"

namespace lum {

namespace {

constexpr const char* kLog = "reboot";

// Modules that the running guard keeps loaded for good: they are replaced at
// the restart without asking for one, as the guard reloads them anyway.
bool IsGuardModule(const std::wstring& lowerPath) {
  return lowerPath.find(L"safemon.dll") != std::wstring::npos ||
         lowerPath.find(L"lumudiskguard.dll") != std::wstring::npos ||
         lowerPath.find(L"lumudiskguard64.dll") != std::wstring::npos;
}

bool ScheduleFileDeleteAtReboot(const std::wstring& path) {
  const bool ok = ::MoveFileExW(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != FALSE;
  log::Action(kLog, L"schedule delete at restart", path,
              ok ? 0 : static_cast<long>(::GetLastError()));
  return ok;
}

bool OpenRunOnce(REGSAM access, RegKey* key) {
  return key->Open(HKEY_LOCAL_MACHINE, kRunOnceKey, access);
}

}  // namespace

FilePlacement PlaceFile(const std::wstring& source, const std::wstring& destination,
                        const PlacementOptions& options) {
  WinPlacementFiles files;
  PlacementJournal journal(files);
  journal.Begin();
  const PlacementResult placed = journal.Place(source, destination, options);
  if (placed.outcome == FilePlacement::kFailed || placed.outcome == FilePlacement::kSourceMissing)
    journal.Rollback();
  else
    journal.Commit();
  return placed.outcome;
}

PlacementResult PlaceInstallFile(PlacementJournal& journal, const std::wstring& source,
                                 const std::wstring& destination, bool moveSource) {
  const std::wstring lower = ToLowerAscii(destination);
  const bool guard = IsGuardModule(lower);
  PlacementOptions options;
  options.renameHeld = !guard;
  options.moveSource = moveSource;
  const PlacementResult placed = journal.Place(source, destination, options);
  if (placed.outcome != FilePlacement::kScheduled || guard) return placed;
  // The file in use belongs to the running product, so only a restart
  // completes the installation.
  SetRebootNeeded(true);
  log::Note(kLog, L"restart needed for " + destination);
  if (lower.find(L"zvsafemain.exe") != std::wstring::npos) {
    SetDoNotStartProduct(true);
    log::Note(kLog, L"main program replaced at restart: the product is not started now");
  }
  return placed;
}

bool ReplaceFileAtReboot(const std::wstring& source, const std::wstring& destination) {
  WinPlacementFiles files;
  PlacementJournal journal(files);
  journal.Begin();
  const PlacementResult placed = PlaceInstallFile(journal, source, destination);
  if (placed.outcome == FilePlacement::kFailed || placed.outcome == FilePlacement::kSourceMissing) {
    journal.Rollback();
    return false;
  }
  journal.Commit();
  return true;
}

bool PurgeInstallFolderRenames(const std::wstring& installFolder,
                               const std::function<bool(const std::wstring&)>& deleteTree) {
  PendingRenamesLock lock(kLog);
  if (!lock.Held()) {
    log::Note(kLog, L"pending renames not purged: another installer holds the list");
    return false;
  }
  RegKey key;
  std::vector<uint8_t> data;
  std::vector<PendingRename> list;
  if (!key.Open(HKEY_LOCAL_MACHINE, kSessionManagerKey, KEY_QUERY_VALUE | KEY_SET_VALUE) ||
      !ReadPendingValue(key.Get(), &data)) {
    log::Note(kLog, L"no pending renames to purge");
    return false;
  }
  if (!ParsePendingRenames(data.data(), data.size(), &list)) {
    log::Action(kLog, L"pending renames malformed, left untouched", kPendingRenamesValue, 1);
    return false;
  }
  const std::vector<std::wstring> removed = RemoveFolderTempRenames(&list, installFolder);
  if (!removed.empty()) {
    const std::vector<uint8_t> bytes = SerializePendingRenames(list);
    const LONG result = ::RegSetValueExW(key.Get(), kPendingRenamesValue, 0, REG_MULTI_SZ,
                                         bytes.data(), static_cast<DWORD>(bytes.size()));
    log::Action(kLog,
                L"pending renames written back (" + std::to_wstring(list.size()) + L" kept, " +
                    std::to_wstring(removed.size()) + L" dropped)",
                kPendingRenamesValue, result);
    if (result != ERROR_SUCCESS) return false;
  }
  const std::wstring updateFolder = WithTrailingSlash(installFolder) + L"update";
  const bool updateGone = deleteTree(updateFolder);
  log::Action(kLog, L"delete folder tree", updateFolder, updateGone ? 0 : 1);
  for (const std::wstring& source : removed) {
    const std::wstring path = StripNtPrefix(source);
    if (::DeleteFileW(path.c_str()) || ::GetLastError() == ERROR_FILE_NOT_FOUND) {
      log::Action(kLog, L"delete stale pending file", path, 0);
    } else {
      ScheduleFileDeleteAtReboot(path);
    }
  }
  return true;
}

bool RemoveUninstallMarker(const std::wstring& installFolder) {
  const std::wstring name = UninstallMarkerName(installFolder);
  RegKey key;
  const bool removed = !name.empty() && OpenRunOnce(KEY_SET_VALUE, &key) && key.DeleteValue(name);
  log::Action(kLog, removed ? L"uninstall marker removed" : L"no uninstall marker", name,
              removed ? 0 : 1);
  return removed;
}

PendingUninstall FindPendingUninstall() {
  struct Entry {
    const wchar_t* value;
    int kind;
    int exitCode;
    const wchar_t* key;
  };
  static const Entry kEntries[] = {
      {L"sdel", 5, 505, L"ERROR_CNINTERNETEXIST"},
      {kUninstallMarkerBase, 1, 501, L"ERROR_CNSAFEEXIST"},
      {L"DeleteLumsd", 2, 502, L"ERROR_CNSDEXIST"},
  };
  PendingUninstall record;
  RegKey key;
  if (OpenRunOnce(KEY_QUERY_VALUE, &key)) {
    for (const Entry& entry : kEntries) {
      if (key.HasValue(entry.value)) {
        record.kind = entry.kind;
        record.exitCode = entry.exitCode;
        record.messageKey = entry.key;
        break;
      }
    }
  }
  log::Action(kLog, L"pending uninstall check", record.messageKey, record.exitCode);
  return record;
}

bool HasPendingProductUninstall() {
  RegKey key;
  bool found = false;
  if (OpenRunOnce(KEY_QUERY_VALUE, &key)) {
    for (DWORD index = 0; !found; ++index) {
      wchar_t name[16384];
      DWORD nameLength = 16384;
      DWORD type = 0;
      DWORD size = 0;
      LONG result =
          ::RegEnumValueW(key.Get(), index, name, &nameLength, nullptr, &type, nullptr, &size);
      if (result == ERROR_NO_MORE_ITEMS) break;
      if (result != ERROR_SUCCESS) continue;
      if (!ContainsNoCase(name, kUninstallMarkerBase) || (type != REG_SZ && type != REG_EXPAND_SZ))
        continue;
      std::vector<uint8_t> data(size + 2, 0);
      nameLength = 16384;
      if (::RegEnumValueW(key.Get(), index, name, &nameLength, nullptr, &type, data.data(),
                          &size) != ERROR_SUCCESS)
        continue;
      const std::wstring text = Utf16LeToWide(data.data(), size);
      found = ContainsNoCase(text, L"removeLum.bat");
      if (found) log::Action(kLog, L"product removal pending at restart", name, 0);
    }
  }
  if (!found) log::Note(kLog, L"no product removal pending");
  return found;
}

}  // namespace lum
