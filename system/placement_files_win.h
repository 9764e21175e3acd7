// The placement journal's file system on Windows: renames, copies, staged
// copies and the system's list of operations performed at the next restart
// ("PendingFileRenameOperations").
//
// Threading: one object per journal; the restart list is read and written
// whole, so two placements must not change it at the same time (the install
// run places from one thread).
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "system/placement_journal.h"

namespace lum {

constexpr const wchar_t* kSessionManagerKey =
    L"SYSTEM\\CurrentControlSet\\Control\\Session Manager";
constexpr const wchar_t* kPendingRenamesValue = L"PendingFileRenameOperations";

// The raw restart list from the open Session Manager key; false when it is
// absent or not REG_MULTI_SZ.
bool ReadPendingValue(HKEY key, std::vector<uint8_t>* data);

// Gives the file `path` the rights its folder passes on, and nothing else:
// its own DACL emptied and no longer protected, through a handle on the
// file itself (a link is refused). A file renamed in from another folder
// otherwise keeps the rights it had there. False with GetLastError.
bool InheritFolderRights(const std::wstring& path);

// Whether the two folders lie on one volume, so that a file renamed from
// one into the other is moved, never copied. A folder that does not exist
// yet is judged by its nearest existing parent. False when either cannot be
// opened.
bool OnSameVolume(const std::wstring& a, const std::wstring& b);

class WinPlacementFiles : public PlacementFiles {
 public:
  bool Exists(const std::wstring& path) override;
  void CreateFolderFor(const std::wstring& path) override;
  bool InUse(const std::wstring& path) override;
  bool Move(const std::wstring& from, const std::wstring& to, bool replace) override;
  bool Copy(const std::wstring& from, const std::wstring& to) override;
  bool MoveIn(const std::wstring& from, const std::wstring& to) override;
  bool DeletionScheduled(const std::wstring& path) override;
  bool Flush(const std::wstring& path) override;
  bool Delete(const std::wstring& path) override;
  bool SameContent(const std::wstring& a, const std::wstring& b) override;
  std::wstring StageCopy(const std::wstring& source, const std::wstring& destination) override;
  bool ScheduleReplace(const std::wstring& staged, const std::wstring& destination) override;
  bool ScheduleDelete(const std::wstring& path) override;
  bool Unschedule(const std::wstring& staged) override;
  unsigned long LastError() override { return error_; }

 private:
  bool Done(bool ok);  // keeps the system error of a failed step
  DWORD error_ = 0;
};

}  // namespace lum
