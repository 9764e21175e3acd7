#include "system/placement_files_win.h"

#include <aclapi.h>

#include "base/install_log.h"
#include "base/text.h"
#include "system/folder_tree_win.h"
#include "system/pending_renames.h"
#include "system/pending_renames_lock_win.h"
#include "system/registry_win.h"
#include "system/win_handle_win.h"

namespace lum {

namespace {

constexpr const char* kLog = "placement";
constexpr const wchar_t* kTempPrefix = L"Lum";
constexpr DWORD kCompareBlock = 1024 * 1024;

bool ReadWhole(HANDLE file, std::vector<uint8_t>* block, DWORD size) {
  block->resize(size);
  DWORD done = 0;
  return ::ReadFile(file, block->data(), size, &done, nullptr) && done == size;
}

}  // namespace

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

bool InheritFolderRights(const std::wstring& path) {
  UniqueFileHandle file(::CreateFileW(path.c_str(), READ_CONTROL | WRITE_DAC,
                                      FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!file) return false;
  BY_HANDLE_FILE_INFORMATION info = {};
  if (!::GetFileInformationByHandle(file.Get(), &info)) return false;
  if (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) {
    ::SetLastError(ERROR_CANT_ACCESS_FILE);
    return false;
  }
  // An empty DACL that is not protected: the system fills it with what the
  // new folder passes on, as for a file created there.
  ACL empty;
  if (!::InitializeAcl(&empty, sizeof(empty), ACL_REVISION)) return false;
  const DWORD result = ::SetSecurityInfo(
      file.Get(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION | UNPROTECTED_DACL_SECURITY_INFORMATION,
      nullptr, nullptr, &empty, nullptr);
  ::SetLastError(result);
  return result == ERROR_SUCCESS;
}

namespace {

// The volume serial of the folder, or of its nearest existing parent.
bool VolumeOf(std::wstring folder, DWORD* serial) {
  while (!folder.empty() && (folder.back() == L'\\' || folder.back() == L'/')) folder.pop_back();
  for (int depth = 0; depth < 64 && !folder.empty(); ++depth) {
    const std::wstring open = folder.size() == 2 && folder[1] == L':' ? folder + L"\\" : folder;
    UniqueFileHandle handle(::CreateFileW(open.c_str(), FILE_READ_ATTRIBUTES,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                          nullptr, OPEN_EXISTING,
                                          FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION info = {};
    if (handle && ::GetFileInformationByHandle(handle.Get(), &info)) {
      *serial = info.dwVolumeSerialNumber;
      return true;
    }
    const std::wstring parent = ParentFolder(folder);
    if (parent.empty() || parent == folder) break;
    folder = parent;
  }
  return false;
}

}  // namespace

bool OnSameVolume(const std::wstring& a, const std::wstring& b) {
  DWORD first = 0, second = 0;
  return VolumeOf(a, &first) && VolumeOf(b, &second) && first == second;
}

bool WinPlacementFiles::Done(bool ok) {
  error_ = ok ? 0 : ::GetLastError();
  if (!ok && error_ == 0) error_ = ERROR_GEN_FAILURE;
  return ok;
}

bool WinPlacementFiles::Exists(const std::wstring& path) {
  return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void WinPlacementFiles::CreateFolderFor(const std::wstring& path) {
  const std::wstring folder = ParentFolder(path);
  if (!folder.empty()) CreateFolderTree(folder);
}

bool WinPlacementFiles::InUse(const std::wstring& path) {
  // A module that a program has loaded cannot be deleted although no handle
  // keeps it open: asking for its deletion (and taking the request back at
  // once) is the one test that tells.
  UniqueFileHandle file(::CreateFileW(path.c_str(), DELETE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT,
                                      nullptr));
  if (!file) return true;
  FILE_DISPOSITION_INFO disposition = {TRUE};
  if (!::SetFileInformationByHandle(file.Get(), FileDispositionInfo, &disposition,
                                    sizeof(disposition)))
    return true;
  disposition.DeleteFile = FALSE;
  ::SetFileInformationByHandle(file.Get(), FileDispositionInfo, &disposition, sizeof(disposition));
  return false;
}

bool WinPlacementFiles::Move(const std::wstring& from, const std::wstring& to, bool replace) {
  // The rename is on the disk when the call returns: a cut-off run finds
  // every original either in place or beside it.
  const DWORD flags = MOVEFILE_WRITE_THROUGH | (replace ? MOVEFILE_REPLACE_EXISTING : 0);
  return Done(::MoveFileExW(from.c_str(), to.c_str(), flags) != FALSE);
}

bool WinPlacementFiles::Copy(const std::wstring& from, const std::wstring& to) {
  // The destination's name is free by now: whatever appears there in the
  // meantime is not written through.
  return Done(::CopyFileW(from.c_str(), to.c_str(), TRUE) != FALSE);
}

bool WinPlacementFiles::MoveIn(const std::wstring& from, const std::wstring& to) {
  // No MOVEFILE_REPLACE_EXISTING: the name is free (its original set aside),
  // and whatever appears there in the meantime is not replaced. No
  // MOVEFILE_COPY_ALLOWED: across volumes the caller copies.
  if (!Done(::MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH) != FALSE))
    return false;
  const bool inherited = InheritFolderRights(to);
  const DWORD error = inherited ? 0 : ::GetLastError();
  log::Action(kLog, L"rights of moved file: those its folder passes on", to,
              static_cast<long>(error));
  if (inherited) return Done(true);
  // Kept with the work folder's rights it would be unreadable for the
  // product's users: it goes back, to be copied instead.
  const bool back = ::MoveFileExW(to.c_str(), from.c_str(), MOVEFILE_WRITE_THROUGH) != FALSE;
  log::Action(kLog, L"move file back", to + L" -> " + from,
              back ? 0 : static_cast<long>(::GetLastError()));
  if (!back) ::DeleteFileW(to.c_str());
  error_ = error == 0 ? ERROR_GEN_FAILURE : error;
  return false;
}

bool WinPlacementFiles::DeletionScheduled(const std::wstring& path) {
  RegKey key;
  std::vector<uint8_t> data;
  std::vector<PendingRename> list;
  if (!key.Open(HKEY_LOCAL_MACHINE, kSessionManagerKey, KEY_QUERY_VALUE) ||
      !ReadPendingValue(key.Get(), &data) || !ParsePendingRenames(data.data(), data.size(), &list))
    return false;
  for (const PendingRename& entry : list)
    if (entry.destination.empty() && EqualsNoCase(StripNtPrefix(entry.source), path)) return true;
  return false;
}

bool WinPlacementFiles::Flush(const std::wstring& path) {
  UniqueFileHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT,
                                      nullptr));
  return Done(file && ::FlushFileBuffers(file.Get()) != FALSE);
}

bool WinPlacementFiles::Delete(const std::wstring& path) {
  if (::DeleteFileW(path.c_str())) return Done(true);
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (::GetLastError() == ERROR_ACCESS_DENIED || (attributes != INVALID_FILE_ATTRIBUTES &&
                                                  (attributes & FILE_ATTRIBUTE_READONLY))) {
    // Only originals set aside and files this placement wrote are deleted:
    // a read-only mark does not keep them.
    ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    return Done(::DeleteFileW(path.c_str()) != FALSE);
  }
  return Done(false);
}

bool WinPlacementFiles::SameContent(const std::wstring& a, const std::wstring& b) {
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

std::wstring WinPlacementFiles::StageCopy(const std::wstring& source,
                                          const std::wstring& destination) {
  const std::wstring parent = ParentFolder(destination);
  const std::wstring folder = parent.empty() ? std::wstring(L".") : parent;
  wchar_t name[MAX_PATH + 1] = {};
  if (!Done(::GetTempFileNameW(folder.c_str(), kTempPrefix, 0, name) != 0)) return std::wstring();
  if (Done(::CopyFileW(source.c_str(), name, FALSE) != FALSE)) return name;
  const DWORD error = error_;
  ::DeleteFileW(name);
  error_ = error;
  return std::wstring();
}

bool WinPlacementFiles::ScheduleReplace(const std::wstring& staged,
                                        const std::wstring& destination) {
  const bool ok = Done(::MoveFileExW(staged.c_str(), destination.c_str(),
                                     MOVEFILE_DELAY_UNTIL_REBOOT | MOVEFILE_REPLACE_EXISTING) !=
                       FALSE);
  log::Action(kLog, L"schedule replace at restart", staged + L" -> " + destination,
              static_cast<long>(error_));
  return ok;
}

bool WinPlacementFiles::ScheduleDelete(const std::wstring& path) {
  return Done(::MoveFileExW(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != FALSE);
}

bool WinPlacementFiles::Unschedule(const std::wstring& staged) {
  PendingRenamesLock lock(kLog);
  if (!lock.Held()) {
    error_ = ERROR_TIMEOUT;
    return false;
  }
  RegKey key;
  std::vector<uint8_t> data;
  std::vector<PendingRename> list;
  if (!key.Open(HKEY_LOCAL_MACHINE, kSessionManagerKey, KEY_QUERY_VALUE | KEY_SET_VALUE) ||
      !ReadPendingValue(key.Get(), &data) ||
      !ParsePendingRenames(data.data(), data.size(), &list)) {
    error_ = ERROR_NOT_FOUND;
    return false;
  }
  if (RemovePendingSource(&list, staged) == 0) {
    error_ = ERROR_NOT_FOUND;
    return false;
  }
  const std::vector<uint8_t> bytes = SerializePendingRenames(list);
  const LONG result = ::RegSetValueExW(key.Get(), kPendingRenamesValue, 0, REG_MULTI_SZ,
                                       bytes.data(), static_cast<DWORD>(bytes.size()));
  error_ = static_cast<DWORD>(result);
  return result == ERROR_SUCCESS;
}

}  // namespace lum
