#include "install/process_table.h"

#include "base/text.h"

namespace lum {
namespace {

std::wstring Normalised(std::wstring path) {
  for (wchar_t& c : path) {
    if (c == L'/') c = L'\\';
  }
  while (!path.empty() && path.back() == L'\\') path.pop_back();
  return path;
}

}  // namespace

void ProcessTable::Add(const std::wstring& programName, uint32_t processId) {
  std::lock_guard<std::mutex> hold(lock_);
  byName_[ToLowerAscii(programName)].push_back(processId);
}

void ProcessTable::Replace(bool snapshotTaken, const ProcessTable& fresh) {
  std::map<std::wstring, std::vector<uint32_t>> copy;
  if (snapshotTaken) {
    std::lock_guard<std::mutex> holdFresh(fresh.lock_);
    copy = fresh.byName_;
  }
  std::lock_guard<std::mutex> hold(lock_);
  if (snapshotTaken) {
    byName_.swap(copy);
  } else {
    byName_.clear();
  }
}

bool ProcessTable::Find(const std::wstring& programName, uint32_t* processId) const {
  std::lock_guard<std::mutex> hold(lock_);
  auto it = byName_.find(ToLowerAscii(programName));
  if (it == byName_.end() || it->second.empty()) return false;
  *processId = it->second.back();
  return true;
}

bool ProcessTable::FindAll(const std::wstring& programName,
                           std::vector<uint32_t>* processIds) const {
  std::lock_guard<std::mutex> hold(lock_);
  auto it = byName_.find(ToLowerAscii(programName));
  if (it == byName_.end() || it->second.empty()) return false;
  *processIds = it->second;
  return true;
}

bool PathLiesInFolder(const std::wstring& path, const std::wstring& folder) {
  const std::wstring p = Normalised(path), f = Normalised(folder);
  if (f.empty() || !StartsWithNoCase(p, f)) return false;
  return p.size() == f.size() || p[f.size()] == L'\\';
}

}  // namespace lum
