// The process table behind every "is this program running" test: program file
// name (lower case) -> process ids, filled from one snapshot of the process
// list. Portable so that the name and folder rules are tested natively; the
// snapshot itself is taken by process_termination_win.
#pragma once
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace lum {

// Any thread: the install thread and the active-defense worker that the
// install run may abandon after its bounded wait share the process-wide
// table, so every operation holds the table's lock.
class ProcessTable {
 public:
  ProcessTable() = default;
  ProcessTable(const ProcessTable&) = delete;
  ProcessTable& operator=(const ProcessTable&) = delete;

  // Adds one process of the snapshot (in snapshot order).
  void Add(const std::wstring& programName, uint32_t processId);
  // Takes the table of a new snapshot (`fresh` belongs to the caller's
  // thread). A snapshot that could not be taken leaves the table empty
  // ("nothing runs"): the ids of an older one may meanwhile belong to
  // unrelated processes.
  void Replace(bool snapshotTaken, const ProcessTable& fresh);

  // The last process of that name in snapshot order; false when none runs.
  bool Find(const std::wstring& programName, uint32_t* processId) const;
  // Every process of that name, in snapshot order; false when none runs.
  bool FindAll(const std::wstring& programName, std::vector<uint32_t>* processIds) const;

 private:
  mutable std::mutex lock_;
  std::map<std::wstring, std::vector<uint32_t>> byName_;
};

// Whether `path` lies in `folder`: both with '/' read as '\' and without
// trailing backslashes, the folder must be a case-insensitive prefix of the
// path, and the path must equal it or go on with '\'. An empty folder holds
// nothing.
bool PathLiesInFolder(const std::wstring& path, const std::wstring& folder);

}  // namespace lum
