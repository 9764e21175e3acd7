// A run of the installer watched through its log: the end-to-end tests that
// act on the machine at a chosen moment of a run share it. The installer is
// started in a job, its log is read as it grows, and when a chosen line
// appears the test may freeze the whole process tree (every thread of the
// installer and of every process it started), act, and let it go on, or end
// the tree where it stands.
//
// Threading: one test thread drives one WatchedRun.
#pragma once
#include <windows.h>
// These build on windows.h.
#include <tlhelp32.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "base/text.h"
#include "system/win_handle_win.h"
#include "tests/e2e/e2e_support.h"

namespace lum {
namespace e2e {

inline unsigned long long ProcessStartTime(DWORD id) {
  UniqueHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id));
  FILETIME created = {}, exited, kernel, user;
  if (!process || !GetProcessTimes(process.Get(), &created, &exited, &kernel, &user)) return 0;
  return (static_cast<unsigned long long>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
}

// Every process below `root` (children of children too). Process ids are
// reused: a process counts as a child only when it started after the
// parent whose id it names (else the system's service manager, whose
// starter has long gone, could pass for the installer's child).
inline std::set<DWORD> Descendants(DWORD root) {
  std::map<DWORD, unsigned long long> tree = {{root, ProcessStartTime(root)}};
  bool grew = true;
  while (grew) {
    grew = false;
    UniqueFileHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32W entry = {sizeof(entry)};
    for (BOOL more = snapshot && Process32FirstW(snapshot.Get(), &entry); more;
         more = Process32NextW(snapshot.Get(), &entry)) {
      const auto parent = tree.find(entry.th32ParentProcessID);
      if (parent == tree.end() || tree.count(entry.th32ProcessID)) continue;
      const unsigned long long started = ProcessStartTime(entry.th32ProcessID);
      if (started == 0 || started < parent->second) continue;
      tree[entry.th32ProcessID] = started;
      grew = true;
    }
  }
  std::set<DWORD> ids;
  for (const auto& member : tree) ids.insert(member.first);
  return ids;
}

class WatchedRun {
 public:
  enum class Seen { kLine, kEnded, kTimedOut, kNotStarted };

  WatchedRun() = default;
  WatchedRun(const WatchedRun&) = delete;
  WatchedRun& operator=(const WatchedRun&) = delete;
  ~WatchedRun() { Resume(); }

  // Starts `installer` with `arguments` and "/log:<log>" (a stale log is
  // deleted first). False when it could not be started.
  bool Start(const std::wstring& installer, const std::wstring& arguments, const std::wstring& log) {
    log_ = log;
    DeleteFileW(log.c_str());
    std::wstring command = L"\"" + installer + L"\" " + arguments + L" /log:" + log;
    std::vector<wchar_t> buffer(command.begin(), command.end());
    buffer.push_back(L'\0');
    job_.Reset(CreateJobObjectW(nullptr, nullptr));
    STARTUPINFOW startup = {sizeof(startup)};
    PROCESS_INFORMATION info = {};
    if (!job_ || !CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, FALSE,
                                 CREATE_SUSPENDED, nullptr, nullptr, &startup, &info))
      return false;
    process_.Reset(info.hProcess);
    UniqueHandle thread(info.hThread);
    id_ = info.dwProcessId;
    AssignProcessToJobObject(job_.Get(), process_.Get());
    ResumeThread(thread.Get());
    return true;
  }

  // Waits until a line of the log holds `text` (and `also`, when given),
  // reading the log as it grows every millisecond or so, or the installer
  // ends, or `timeoutMs` has passed.
  Seen WaitForLine(const std::wstring& text, const std::wstring& also = std::wstring(),
                   DWORD timeoutMs = 240000) {
    if (!process_) return Seen::kNotStarted;
    const ULONGLONG until = GetTickCount64() + timeoutMs;
    for (;;) {
      if (HasLine(Log(), text, also)) return Seen::kLine;
      if (WaitForSingleObject(process_.Get(), 1) == WAIT_OBJECT_0)
        return HasLine(Log(), text, also) ? Seen::kLine : Seen::kEnded;
      if (GetTickCount64() > until) return Seen::kTimedOut;
    }
  }

  // The first line of `log` that holds `text` (and `also`); empty when none.
  static std::wstring FindLine(const std::wstring& log, const std::wstring& text,
                               const std::wstring& also = std::wstring()) {
    for (size_t at = log.find(text); at != std::wstring::npos; at = log.find(text, at + 1)) {
      const size_t start = log.rfind(L'\n', at);
      const size_t begin = start == std::wstring::npos ? 0 : start + 1;
      size_t end = log.find(L'\n', at);
      if (end == std::wstring::npos) end = log.size();
      std::wstring line = log.substr(begin, end - begin);
      if (!line.empty() && line.back() == L'\r') line.pop_back();
      if (also.empty() || line.find(also) != std::wstring::npos) return line;
    }
    return std::wstring();
  }
  static bool HasLine(const std::wstring& log, const std::wstring& text, const std::wstring& also) {
    return !FindLine(log, text, also).empty();
  }

  // Suspends every thread of the installer and of every process below it;
  // the number of threads suspended.
  int Suspend() {
    Resume();
    const std::set<DWORD> tree = Descendants(id_);
    UniqueFileHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
    THREADENTRY32 entry = {sizeof(entry)};
    for (BOOL more = snapshot && Thread32First(snapshot.Get(), &entry); more;
         more = Thread32Next(snapshot.Get(), &entry)) {
      if (!tree.count(entry.th32OwnerProcessID)) continue;
      HANDLE thread = OpenThread(THREAD_SUSPEND_RESUME, FALSE, entry.th32ThreadID);
      if (!thread) continue;
      if (SuspendThread(thread) != static_cast<DWORD>(-1))
        suspended_.push_back(thread);
      else
        CloseHandle(thread);
    }
    return static_cast<int>(suspended_.size());
  }

  // Lets every thread Suspend stopped go on.
  void Resume() {
    for (HANDLE thread : suspended_) {
      ResumeThread(thread);
      CloseHandle(thread);
    }
    suspended_.clear();
  }

  // Ends the installer and every process it started, where they stand.
  // True only when the installer was still running and the kill ended it
  // (it is gone, with the kill's code): a run that had finished by itself
  // was not cut off anywhere.
  bool Kill() {
    Resume();
    if (!process_) return false;
    const bool running = WaitForSingleObject(process_.Get(), 0) == WAIT_TIMEOUT;
    // Known before the first is ended: the tree is walked from the living.
    const std::set<DWORD> tree = Descendants(id_);
    TerminateJobObject(job_.Get(), kKillCode);
    for (DWORD id : tree) {
      UniqueHandle victim(OpenProcess(PROCESS_TERMINATE, FALSE, id));
      if (victim) TerminateProcess(victim.Get(), kKillCode);
    }
    if (WaitForSingleObject(process_.Get(), 10000) != WAIT_OBJECT_0) return false;
    DWORD code = 0;
    return running && GetExitCodeProcess(process_.Get(), &code) && code == kKillCode;
  }
  // The code the kill leaves; the installer never ends with it by itself.
  static constexpr DWORD kKillCode = 0xDEAD;

  // The installer's full exit code once it has ended within `timeoutMs`; -1
  // otherwise.
  int Wait(DWORD timeoutMs = 240000) {
    Resume();
    if (!process_ || WaitForSingleObject(process_.Get(), timeoutMs) != WAIT_OBJECT_0) return -1;
    DWORD code = 0;
    GetExitCodeProcess(process_.Get(), &code);
    return static_cast<int>(code);
  }

  std::wstring Log() const { return ReadText(log_); }

 private:
  std::wstring log_;
  UniqueHandle job_;
  UniqueHandle process_;
  DWORD id_ = 0;
  std::vector<HANDLE> suspended_;
};

}  // namespace e2e
}  // namespace lum
