#include "system/reboot_ops_win.h"

#include <windows.h>

#include <vector>

#include "base/install_log.h"
#include "base/text.h"
#include "system/file_ops_win.h"
#include "system/folder_tree_win.h"
#include "system/registry_win.h"
#include "system/win_handle_win.h"

namespace lum {

namespace {

constexpr const char* kLog = "reboot";
constexpr const wchar_t* kTempPrefix = L"Lum";
constexpr DWORD kCompareBlock = 1024 * 1024;

// Modules that the running guard keeps loaded for good: they are replaced at
// the restart without asking for one, as the guard reloads them anyway.
bool IsGuardModule(const std::wstring& lowerPath) {
  return lowerPath.find(L"safemon.dll") != std::wstring::npos ||
         lowerPath.find(L"lumudiskguard.dll") != std::wstring::npos ||
         lowerPath.find(L"lumudiskguard64.dll") != std::wstring::npos;
}

// A fresh, unused file name in `folder` (the file itself is not kept).
std::wstring TempNameIn(const std::wstring& folder, bool keepFile) {
  wchar_t name[MAX_PATH + 1] = {};
  if (!::GetTempFileNameW(folder.c_str(), kTempPrefix, 0, name)) return std::wstring();
  if (!keepFile) ::DeleteFileW(name);
  return name;
}

bool ReadWhole(HANDLE file, std::vector<uint8_t>* block, DWORD size) {
  block->resize(size);
  DWORD done = 0;
  return ::ReadFile(file, block->data(), size, &done, nullptr) && done == size;
}

// Both files non-empty, of the same size and with the same bytes.
bool SameContent(const std::wstring& a, const std::wstring& b) {
  const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  UniqueFileHandle fa(
      ::CreateFileW(a.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr));
  UniqueFileHandle fb(
      ::CreateFileW(b.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr));
  LARGE_INTEGER sa = {}, sb = {};
  if (!fa || !fb || !::GetFileSizeEx(fa.Get(), &sa) || !::GetFileSizeEx(fb.Get(), &sb) ||
      sa.QuadPart == 0 || sa.QuadPart != sb.QuadPart)
    return false;
  std::vector<uint8_t> ba, bb;
  for (int64_t left = sa.QuadPart; left > 0;) {
    const DWORD size = static_cast<DWORD>(left < kCompareBlock ? left : kCompareBlock);
    if (!ReadWhole(fa.Get(), &ba, size) || !ReadWhole(fb.Get(), &bb, size) || ba != bb)
      return false;
    left -= size;
  }
  return true;
}

bool ScheduleAtReboot(const std::wstring& from, const std::wstring& to) {
  const DWORD flags = MOVEFILE_DELAY_UNTIL_REBOOT | (to.empty() ? 0 : MOVEFILE_REPLACE_EXISTING);
  const bool ok = ::MoveFileExW(from.c_str(), to.empty() ? nullptr : to.c_str(), flags) != FALSE;
  log::Action(kLog, to.empty() ? L"schedule delete at restart" : L"schedule replace at restart",
              to.empty() ? from : from + L" -> " + to,
              ok ? 0 : static_cast<long>(::GetLastError()));
  return ok;
}

bool CopyOver(const std::wstring& source, const std::wstring& destination) {
  const bool ok = ::CopyFileW(source.c_str(), destination.c_str(), FALSE) != FALSE;
  log::Action(kLog, L"copy file", destination, ok ? 0 : static_cast<long>(::GetLastError()));
  return ok;
}

bool OpenRunOnce(REGSAM access, RegKey* key) {
  return key->Open(HKEY_LOCAL_MACHINE, kRunOnceKey, access);
}

// The raw pending-rename value; false when absent or not REG_MULTI_SZ.
bool ReadPendingValue(HKEY key, std::vector<uint8_t>* data) {
  DWORD type = 0;
  DWORD size = 0;
  if (::RegQueryValueExW(key, kPendingRenamesValue, nullptr, &type, nullptr, &size) !=
          ERROR_SUCCESS ||
      type != REG_MULTI_SZ)
    return false;
  data->assign(size, 0);
  if (size == 0) return true;
  if (::RegQueryValueExW(key, kPendingRenamesValue, nullptr, &type, data->data(), &size) !=
          ERROR_SUCCESS ||
      type != REG_MULTI_SZ)
    return false;
  data->resize(size);
  return true;
}

}  // namespace

FilePlacement PlaceFile(const std::wstring& source, const std::wstring& destination,
                        const PlacementOptions& options) {
  const std::wstring folder = ParentFolder(destination);
  if (!folder.empty()) CreateFolderTree(folder);
  if (!FileExists(source)) {
    log::Action(kLog, L"place file: source missing", source, ERROR_FILE_NOT_FOUND);
    return FilePlacement::kSourceMissing;
  }
  const std::wstring where = folder.empty() ? std::wstring(L".") : folder;

  bool inUse = false;
  std::wstring aside;  // where the held destination now is, until settled
  if (::GetFileAttributesW(destination.c_str()) != INVALID_FILE_ATTRIBUTES &&
      !::DeleteFileW(destination.c_str())) {
    bool deleted = false;
    if (options.resetAttributes) {
      ::SetFileAttributesW(destination.c_str(), FILE_ATTRIBUTE_NORMAL);
      deleted = ::DeleteFileW(destination.c_str()) != FALSE;
    }
    if (!deleted) {
      inUse = true;
      log::Action(kLog, L"destination in use", destination, static_cast<long>(::GetLastError()));
      if (options.renameHeld) {
        // A file that is only loaded (not opened for writing) can often be
        // renamed away; the old copy then goes at the restart.
        const std::wstring name = TempNameIn(where, false);
        const bool moved = !name.empty() && ::MoveFileW(destination.c_str(), name.c_str()) != FALSE;
        log::Action(kLog, L"rename in-use file aside", destination + L" -> " + name,
                    moved ? 0 : static_cast<long>(::GetLastError()));
        if (moved) aside = name;
      }
    }
  }
  // The renamed original is deleted at the restart only once something has
  // taken its place, now or then; until then it is the one good copy.
  auto settleAside = [&]() {
    if (!aside.empty()) ScheduleAtReboot(aside, L"");
  };
  if ((!inUse || !aside.empty()) && CopyOver(source, destination)) {
    settleAside();
    return FilePlacement::kCopied;
  }
  if (aside.empty() && SameContent(source, destination)) {
    log::Action(kLog, L"destination already up to date", destination, 0);
    return FilePlacement::kUpToDate;
  }
  if (options.allowRestart) {
    const std::wstring staged = TempNameIn(where, true);
    if (!staged.empty() && CopyOver(source, staged)) {
      if (ScheduleAtReboot(staged, destination)) {
        settleAside();
        return FilePlacement::kScheduled;
      }
    }
    // A staged copy that nothing will move is only litter.
    if (!staged.empty()) ::DeleteFileW(staged.c_str());
  }
  if (!aside.empty()) {
    // Neither copy worked: the original goes back where it was, so the
    // product keeps a file there now and after the restart.
    const bool back =
        ::MoveFileExW(aside.c_str(), destination.c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE;
    log::Action(kLog, L"put the renamed original back", aside + L" -> " + destination,
                back ? 0 : static_cast<long>(::GetLastError()));
  }
  log::Action(kLog, L"file neither copied nor scheduled", destination, ERROR_CANNOT_COPY);
  return FilePlacement::kFailed;
}

bool ReplaceFileAtReboot(const std::wstring& source, const std::wstring& destination) {
  const std::wstring lower = ToLowerAscii(destination);
  const bool guard = IsGuardModule(lower);
  PlacementOptions options;
  options.renameHeld = !guard;
  const FilePlacement placed = PlaceFile(source, destination, options);
  if (placed == FilePlacement::kSourceMissing || placed == FilePlacement::kFailed) return false;
  if (placed == FilePlacement::kCopied) return true;
  if (guard) return true;
  // The file in use belongs to the running product, so only a restart
  // completes the installation.
  SetRebootNeeded(true);
  log::Note(kLog, L"restart needed for " + destination);
  if (lower.find(L"zvsafemain.exe") != std::wstring::npos) {
    SetDoNotStartProduct(true);
    log::Note(kLog, L"main program replaced at restart: the product is not started now");
  }
  return true;
}

bool PurgeInstallFolderRenames(const std::wstring& installFolder) {
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
  const bool updateGone = DeleteFolderTree(updateFolder);
  log::Action(kLog, L"delete folder tree", updateFolder, updateGone ? 0 : 1);
  for (const std::wstring& source : removed) {
    const std::wstring path = StripNtPrefix(source);
    if (::DeleteFileW(path.c_str()) || ::GetLastError() == ERROR_FILE_NOT_FOUND) {
      log::Action(kLog, L"delete stale pending file", path, 0);
    } else {
      ScheduleAtReboot(path, L"");
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
