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

class WinPlacementFiles : public PlacementFiles {
 public:
  bool Exists(const std::wstring& path) override;
  void CreateFolderFor(const std::wstring& path) override;
  bool InUse(const std::wstring& path) override;
  bool Move(const std::wstring& from, const std::wstring& to, bool replace) override;
  bool Copy(const std::wstring& from, const std::wstring& to) override;
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
