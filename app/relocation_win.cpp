// Running the installer from a folder under Program Files instead of where it
// was downloaded: a download folder is writable by anyone, Program Files is
// not. The copy runs with "/BNinstall" (so it does not relocate again) and
// its exit code becomes ours, so a deployment tool sees the real outcome.
#include <windows.h>

#include <cstdio>
#include <ctime>

#include "app/hand_over.h"
#include "app/result_file_win.h"
#include "app/session_environment_win.h"
#include "app/startup_win.h"
#include "base/install_log.h"
#include "base/text.h"
#include "system/file_ops_win.h"
#include "system/folder_tree_win.h"
#include "system/held_file_win.h"
#include "system/process_start_win.h"
#include "system/product_location_win.h"
#include "system/win_handle_win.h"
#include "vendor/base_module_win.h"

namespace lum {

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

std::wstring WithPrivateResult(const std::wstring& tail, const std::wstring& resultPath) {
  const std::wstring asked = L"\"/result:" + resultPath + L"\"";
  return tail.empty() ? asked : tail + L" " + asked;
}

void TakePrivateResult(const std::wstring& resultPath, HandOver* handOver) {
  handOver->resultRead = ReadResultFile(resultPath, &handOver->result);
  log::Action("startup", handOver->resultRead ? L"hand-over: the copy's result file read"
                                              : L"hand-over: the copy left no readable result file",
              resultPath, handOver->resultRead ? 0 : 1);
  ::DeleteFileW(resultPath.c_str());
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

std::wstring RelocationCommandLine(const std::wstring& copyPath, const std::wstring& tail) {
  if (tail.empty()) return L"\"" + copyPath + L"\" " + kRelocationSwitch;
  return L"\"" + copyPath + L"\" " + tail + L" " + kRelocationSwitch;
}

bool RelocateAndRerun(const std::wstring& commandTail, HandOver* handOver) {
  if (ContainsNoCase(commandTail, kRelocationSwitch)) return false;
  const std::wstring ownPath = OwnModulePath();
  if (ownPath.empty()) return false;
  if (RunsFromProductFolder(ownPath, ReadProductFolder())) {
    log::Note("startup", L"relocate: already inside the product folder");
    return false;
  }
  if (IsRelocationCopy(ownPath)) {
    // The copy that the RunOnce entry names for the run after a restart.
    log::Note("startup", L"relocate: already a copy in a folder of its own under Program Files");
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
    // Held, sharing reading only, from its check until the copy has ended:
    // the file checked is the file started.
    UniqueFileHandle held;
    if (!OpenHeldFile(copy, &held)) {
      log::Action("startup", L"relocate: copy cannot be held, not started", copy,
                  static_cast<long>(::GetLastError()));
    } else if (VerifyFile(copy, &kind) != 0) {
      // The copy's word on its outcome lies in its own folder, which only
      // administrators can write, and is read before the folder goes.
      const std::wstring resultPath = folder + L"\\result.json";
      const std::wstring commandLine =
          RelocationCommandLine(copy, WithPrivateResult(commandTail, resultPath));
      DWORD code = 0;
      ran = RunAndWait(commandLine, folder, &code);
      held.Reset();
      if (ran) {
        handOver->code = code;
        log::Action("startup", L"relocate: relocated copy finished", commandLine,
                    static_cast<long>(code));
        TakePrivateResult(resultPath, handOver);
      }
    } else {
      log::Action("startup", L"relocate: copy is not a trusted image, not started", copy, 1);
    }
    if (ran && RestartRerunEntryNames(copy)) {
      // The copy continues the install after the restart; the run that the
      // entry starts removes it.
      log::Action("startup", L"relocate: copy kept for the run after the restart", copy, 0);
      handOver->keptForRestart = true;
      return ran;
    }
    held.Reset();
    ::DeleteFileW(copy.c_str());
    ::Sleep(500);  // let the finished copy's image be released before the folder goes
    const bool removed = DeleteFolderTree(folder);
    log::Action("startup", L"relocate: remove folder", folder, removed ? 0 : 1);
  } else {
    ::RemoveDirectoryW(folder.c_str());
  }
  return ran;
}

bool ReleaseRestartCopy(const std::wstring& ownPath, const std::wstring& commandTail,
                        bool handedToWaitingCopy) {
  if (ContainsNoCase(commandTail, kRelocationSwitch) || !IsRelocationCopy(ownPath)) return false;
  if (RestartRerunEntryNames(ownPath)) {
    log::Note("startup", L"restart copy still named by the RunOnce entry: kept");
    return false;
  }
  if (handedToWaitingCopy) return false;  // the waiting copy runs from it
  const std::wstring folder = ParentFolder(ownPath);
  const int scheduled = ScheduleDeleteAtReboot(folder);
  log::Action("startup", L"restart copy: deleted at the next restart", folder,
              scheduled > 0 ? 0 : static_cast<long>(::GetLastError()));
  return scheduled > 0;
}

}  // namespace lum
