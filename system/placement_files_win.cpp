#include "system/placement_files_win.h"

#include "base/install_log.h"
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
