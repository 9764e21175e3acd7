#include "system/relocation_folder_win.h"

#include <windows.h>

#include <cstdio>
#include <ctime>

#include "base/install_log.h"
#include "system/file_ops_win.h"
#include "system/reboot_ops_win.h"
#include "system/registry_win.h"
#include "system/restart_rerun.h"

namespace lum {

namespace {

constexpr const char* kLog = "startup";
constexpr int kLastRelocationCounter = 10;

}  // namespace

std::wstring RelocationParent() {
  wchar_t windows[MAX_PATH + 1] = {};
  const UINT length = ::GetWindowsDirectoryW(windows, MAX_PATH);
  if (length < 3 || length > MAX_PATH) return std::wstring();
  const std::wstring root = std::wstring(windows, 2) + L"\\";  // "C:\"
  for (const wchar_t* name : {L"Program Files (x86)", L"Program Files"}) {
    if (FolderExists(root + name)) return root + name;
  }
  return std::wstring();
}

std::wstring CreateRelocationFolder(const std::wstring& parent, uint64_t seconds) {
  const std::wstring base = WithTrailingSlash(parent);
  for (int counter = 0; counter <= kLastRelocationCounter; ++counter) {
    wchar_t name[64] = {};
    _snwprintf(name, 63, L"%llu_%d", static_cast<unsigned long long>(seconds), counter);
    const std::wstring candidate = base + name;
    // CreateDirectory fails on any existing name, so the folder is ours alone.
    if (::CreateDirectoryW(candidate.c_str(), nullptr)) {
      log::Action(kLog, L"relocate: create folder", candidate, 0);
      return candidate;
    }
    if (::GetLastError() != ERROR_ALREADY_EXISTS) {
      log::Action(kLog, L"relocate: create folder", candidate,
                  static_cast<long>(::GetLastError()));
    }
  }
  return std::wstring();
}

bool IsRelocationCopy(const std::wstring& path) {
  const std::wstring parent = RelocationParent();
  return !parent.empty() && IsRelocationCopyPath(path, parent);
}

std::wstring RestartRerunCopy(const std::wstring& installerPath) {
  if (IsRelocationCopy(installerPath)) return installerPath;
  // Anywhere else (a download folder, a share, a folder a user made) a
  // standard user could swap the file before the entry runs it with full rights.
  const std::wstring parent = RelocationParent();
  const std::wstring folder =
      parent.empty() ? std::wstring()
                     : CreateRelocationFolder(parent, static_cast<uint64_t>(std::time(nullptr)));
  if (folder.empty()) {
    log::Action(kLog, L"restart re-run: no protected folder for the installer copy", parent,
                ERROR_CANNOT_MAKE);
    return std::wstring();
  }
  const std::wstring copy = folder + L"\\" + FileNamePart(installerPath);
  const bool copied = ::CopyFileW(installerPath.c_str(), copy.c_str(), TRUE) != FALSE;
  log::Action(kLog, L"restart re-run: copy installer", copy,
              copied ? 0 : static_cast<long>(::GetLastError()));
  if (copied) return copy;
  ::RemoveDirectoryW(folder.c_str());
  return std::wstring();
}

bool RestartRerunEntryNames(const std::wstring& installerPath) {
  RegKey runOnce;
  std::wstring command;
  return runOnce.Open(HKEY_LOCAL_MACHINE, kRunOnceKey, KEY_QUERY_VALUE) &&
         runOnce.ReadString(kRestartRerunValue, &command) &&
         RerunCommandStarts(command, installerPath);
}

}  // namespace lum
