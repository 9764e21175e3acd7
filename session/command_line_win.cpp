#include "session/command_line_win.h"

#include <windows.h>
// These headers build on windows.h.
#include <shellapi.h>
#include <tlhelp32.h>

#include <cstdint>

#include "base/text.h"
#include "system/win_handle_win.h"

namespace lum {

bool SplitCommandLineTail(const std::wstring& tail, std::vector<std::wstring>* args) {
  args->clear();
  if (TrimBlanks(tail).empty()) return true;
  // CommandLineToArgvW reads its first token by the program-name rules (it
  // ends at the first blank even inside quotes), which would cut a first
  // option like /s:"C:\My Tools". A placeholder program name keeps every
  // option of the tail under the ordinary argument rules.
  const std::wstring line = L"setup " + tail;
  int count = 0;
  LPWSTR* argv = ::CommandLineToArgvW(line.c_str(), &count);
  if (!argv) return false;
  UniqueLocal owner(reinterpret_cast<HLOCAL>(argv));
  for (int i = 1; i < count; ++i) args->emplace_back(argv[i]);
  return true;
}

bool ParseCommandLineTail(const std::wstring& tail, wchar_t separator,
                          CommandLineOptions& options) {
  std::vector<std::wstring> args;
  if (!SplitCommandLineTail(tail, &args) || args.empty()) return false;
  return options.Parse(args, separator);
}

namespace {

uint64_t FileTimeValue(const FILETIME& time) {
  return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

// System-wide processor load in percent over a short sample; -1 if unreadable.
int ProcessorLoadPercent() {
  FILETIME idle1, kernel1, user1, idle2, kernel2, user2;
  if (!::GetSystemTimes(&idle1, &kernel1, &user1)) return -1;
  ::Sleep(500);
  if (!::GetSystemTimes(&idle2, &kernel2, &user2)) return -1;
  const uint64_t idle = FileTimeValue(idle2) - FileTimeValue(idle1);
  // Kernel time includes the idle time.
  const uint64_t total = (FileTimeValue(kernel2) - FileTimeValue(kernel1)) +
                         (FileTimeValue(user2) - FileTimeValue(user1));
  if (total == 0) return 0;
  return static_cast<int>(100 - (idle * 100) / total);
}

int RunningProcessCount() {
  UniqueFileHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return -1;
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof(entry);
  int count = 0;
  for (BOOL more = ::Process32FirstW(snapshot.Get(), &entry); more && count < 1024;
       more = ::Process32NextW(snapshot.Get(), &entry))
    ++count;
  return count;
}

}  // namespace

void WaitUntilSystemQuiet() {
  SYSTEM_INFO info = {};
  ::GetSystemInfo(&info);
  const unsigned processors = info.dwNumberOfProcessors;
  const int threshold = processors >= 4 ? 40 : (processors == 2 ? 30 : 20);
  const DWORD pause = (processors == 2 || processors >= 4) ? 4000 : 6000;
  int stable = 0;
  for (;;) {
    const int load = ProcessorLoadPercent();
    if (load < 0) {
      ::Sleep(3000);
      return;
    }
    const int before = RunningProcessCount();
    ::Sleep(pause);
    const int after = RunningProcessCount();
    if (before == after) ++stable;
    if (load < threshold) {
      const int again = ProcessorLoadPercent();
      if ((again >= 0 && again < threshold) || stable >= 2 || (processors >= 4 && before == after))
        return;
    } else if (stable >= 2) {
      return;
    }
  }
}

}  // namespace lum
