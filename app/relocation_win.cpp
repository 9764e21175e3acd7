// Running the installer from a folder under Program Files instead of where it
// was downloaded: a download folder is writable by anyone, Program Files is
// not. The copy runs with "/BNinstall" (so it does not relocate again) and
// its exit code becomes ours, so a deployment tool sees the real outcome.
#include <windows.h>

#include <cstdio>
#include <ctime>

#include "app/hand_over.h"
#include "app/session_environment_win.h"
#include "app/startup_win.h"
#include "base/install_log.h"
#include "base/text.h"
#include "system/file_ops_win.h"
#include "system/process_start_win.h"
#include "system/product_location_win.h"
#include "system/win_handle_win.h"
#include "vendor/base_module_win.h"

namespace lum {

namespace {

constexpr int kLastRelocationCounter = 10;

}  // namespace

DWORD ChildExitCode(HANDLE process, const std::wstring& commandLine) {
  ChildExit exit;
  DWORD code = 0;
  exit.codeRead = ::GetExitCodeProcess(process, &code) != FALSE;
  exit.code = code;
  std::wstring why;
  const int result = CodeFromChildExit(exit, &why);
  if (!why.empty()) {
    log::Action("startup", L"hand-over: " + why, commandLine,
                exit.codeRead ? static_cast<long>(code) : static_cast<long>(::GetLastError()));
  }
  return static_cast<DWORD>(result);
}

namespace {

// Starts `commandLine` in `folder`, waits for it and reads its exit code.
bool RunAndWait(const std::wstring& commandLine, const std::wstring& folder, DWORD* exitCode) {
  PROCESS_INFORMATION info = {};
  if (!StartProcess(L"", commandLine, folder, SW_SHOWNORMAL, 0, &info)) {
    log::Action("startup", L"relocate: start copy", commandLine,
                static_cast<long>(::GetLastError()));
    return false;
  }
  UniqueHandle process(info.hProcess);
  UniqueHandle thread(info.hThread);
  thread.Reset();
  ::WaitForSingleObject(process.Get(), INFINITE);
  *exitCode = ChildExitCode(process.Get(), commandLine);
  return true;
}

}  // namespace

bool RunsFromProductFolder(const std::wstring& ownPath, const std::wstring& productFolder) {
  if (productFolder.empty()) return false;
  const std::wstring folder = WithTrailingSlash(productFolder);
  return ownPath.size() > folder.size() && StartsWithNoCase(ownPath, folder);
}

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
      log::Action("startup", L"relocate: create folder", candidate, 0);
      return candidate;
    }
    if (::GetLastError() != ERROR_ALREADY_EXISTS) {
      log::Action("startup", L"relocate: create folder", candidate,
                  static_cast<long>(::GetLastError()));
    }
  }
  return std::wstring();
}

std::wstring RelocationCommandLine(const std::wstring& copyPath, const std::wstring& tail) {
  if (tail.empty()) return L"\"" + copyPath + L"\" " + kRelocationSwitch;
  return L"\"" + copyPath + L"\" " + tail + L" " + kRelocationSwitch;
}

bool RelocateAndRerun(const std::wstring& commandTail, DWORD* childExitCode) {
  if (ContainsNoCase(commandTail, kRelocationSwitch)) return false;
  const std::wstring ownPath = OwnModulePath();
  if (ownPath.empty()) return false;
  if (RunsFromProductFolder(ownPath, ReadProductFolder())) {
    log::Note("startup", L"relocate: already inside the product folder");
    return false;
  }
  const std::wstring parent = RelocationParent();
  if (parent.empty()) {
    log::Note("startup", L"relocate: no Program Files folder, running in place");
    return false;
  }

  const std::wstring folder =
      CreateRelocationFolder(parent, static_cast<uint64_t>(std::time(nullptr)));
  if (folder.empty()) {
    log::Action("startup", L"relocate: no fresh folder could be created, running in place", parent,
                ERROR_ALREADY_EXISTS);
    return false;
  }

  const std::wstring copy = folder + L"\\" + FileNamePart(ownPath);
  const bool copied = ::CopyFileW(ownPath.c_str(), copy.c_str(), TRUE) != FALSE;
  log::Action("startup", L"relocate: copy installer", copy,
              copied ? 0 : static_cast<long>(::GetLastError()));

  bool ran = false;
  if (FileExists(copy)) {
    int kind = -1;
    if (VerifyFile(copy, &kind) != 0) {
      const std::wstring commandLine = RelocationCommandLine(copy, commandTail);
      DWORD code = 0;
      ran = RunAndWait(commandLine, folder, &code);
      if (ran) {
        *childExitCode = code;
        log::Action("startup", L"relocate: relocated copy finished", commandLine,
                    static_cast<long>(code));
      }
    } else {
      log::Action("startup", L"relocate: copy is not a trusted image, not started", copy, 1);
    }
    ::DeleteFileW(copy.c_str());
    ::Sleep(500);  // let the finished copy's image be released before the folder goes
    const bool removed = DeleteFolderTree(folder);
    log::Action("startup", L"relocate: remove folder", folder, removed ? 0 : 1);
  } else {
    ::RemoveDirectoryW(folder.c_str());
  }
  return ran;
}

}  // namespace lum
