#include "app/earlier_runs_win.h"

#include <windows.h>

#include <string>
#include <vector>

#include "app/earlier_runs.h"
#include "base/install_log.h"
#include "base/text.h"
#include "system/file_ops_win.h"
#include "system/folder_tree_win.h"
#include "system/handle_tree_win.h"
#include "system/relocation_folder_win.h"
#include "system/restart_list_cleanup_win.h"
#include "system/win_handle_win.h"

namespace lum {

namespace {

constexpr const char* kLog = "startup";

// The folders directly in `parent` (links excluded), listed by handle.
std::vector<std::wstring> FoldersIn(const std::wstring& parent) {
  std::vector<std::wstring> names;
  UniqueHandle folder;
  std::vector<FolderEntry> entries;
  if (parent.empty() || OpenFolderNoLinks(parent, &folder).open != WayOpen::kOpened ||
      !ListFolderEntries(folder.Get(), &entries))
    return names;
  for (const FolderEntry& entry : entries) {
    if ((entry.attributes & FILE_ATTRIBUTE_DIRECTORY) &&
        !(entry.attributes & FILE_ATTRIBUTE_REPARSE_POINT))
      names.push_back(entry.name);
  }
  return names;
}

// A relocated copy still needed: this run's own, or the one the restart
// re-run entry starts.
bool RelocatedCopyNeeded(const std::wstring& folder) {
  const std::wstring inside = WithTrailingSlash(folder);
  if (StartsWithNoCase(OwnModulePath(), inside)) return true;
  UniqueHandle handle;
  std::vector<FolderEntry> entries;
  if (OpenFolderNoLinks(folder, &handle).open != WayOpen::kOpened ||
      !ListFolderEntries(handle.Get(), &entries))
    return true;  // unreadable: not ours to judge
  for (const FolderEntry& entry : entries) {
    if (RestartRerunEntryNames(inside + entry.name)) return true;
  }
  return false;
}

}  // namespace

void RemoveEarlierRunsLeftovers() {
  std::vector<std::wstring> removed;
  auto sweep = [&](const std::wstring& parent, bool inProgramFiles) {
    for (const std::wstring& name : FoldersIn(parent)) {
      const EarlierRunFolder kind = KindOfEarlierRunFolder(name, inProgramFiles);
      if (kind == EarlierRunFolder::kNone) continue;
      const std::wstring folder = WithTrailingSlash(parent) + name;
      if (IsProtectedFolderOfThisRun(folder)) continue;
      if (kind == EarlierRunFolder::kRelocation && RelocatedCopyNeeded(folder)) continue;
      const TreeDelete result = DeleteTreeNoLinks(kLog, L"delete earlier run's folder", folder);
      if (result == TreeDelete::kGone) {
        log::Action(kLog, L"earlier run's folder removed", folder, 0);
        removed.push_back(folder);
      } else {
        log::Note(kLog, L"earlier run's folder in use or refused, left: " + folder);
      }
    }
  };
  sweep(WindowsTempFolder(), false);
  sweep(RelocationParent(), true);
  if (!removed.empty()) DropRestartEntriesUnder(removed, kLog);
}

}  // namespace lum
