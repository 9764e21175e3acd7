#include "system/silent_log_file_win.h"

#include <windows.h>

#include <string>

#include "base/install_log.h"
#include "system/handle_tree_win.h"
#include "system/win_handle_win.h"

namespace lum {

bool OpenDefaultSilentLog() {
  const std::wstring path = log::DefaultSilentLogPath();
  const size_t slash = path.find_last_of(L'\\');
  if (slash == std::wstring::npos) return false;
  const std::wstring folderPath = path.substr(0, slash);
  UniqueHandle folder;
  const WayResult way = OpenFolderNoLinks(folderPath, &folder);
  if (way.open != WayOpen::kOpened) {
    const bool linked = way.open == WayOpen::kLinkOnWay || way.open == WayOpen::kTopIsLink;
    log::Action("log", linked ? L"create log file refused: link on the way"
                              : L"create log file: folder not opened",
                linked ? way.at : folderPath,
                linked ? ERROR_CANT_ACCESS_FILE
                       : static_cast<long>(way.error ? way.error : ERROR_PATH_NOT_FOUND));
    return false;
  }
  return log::OpenNewFile(path, [&](const std::wstring& candidate, unsigned long* error) -> void* {
    UniqueHandle file;
    *error = CreateNewFileIn(folder.Get(), candidate.substr(candidate.find_last_of(L'\\') + 1),
                             FILE_APPEND_DATA, &file);
    return *error ? INVALID_HANDLE_VALUE : file.Release();
  });
}

}  // namespace lum
