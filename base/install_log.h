// The installer's log: one UTF-8 line per action that changes the machine or
// decides the outcome, so an administrator can reconstruct a silent run.
//
//   2026-12-08 19:52:51.123 [startup] relocate: run copy | C:\Program Files\1_0\x.exe | 0
//   time                    subsystem  what               where                 result code
//
// Lines written before a sink is attached are kept in memory and flushed to
// the first sink, so the start-up steps before the command line is parsed are
// not lost. Thread-safe: any thread may write; the sink is called under a lock.
#pragma once
#include <functional>
#include <string>

namespace lum {
namespace log {

using Sink = std::function<void(const std::string& utf8Line)>;

// Attaches the sink (replacing any earlier one) and flushes buffered lines.
void SetSink(Sink sink);
// Detaches the sink; later lines are buffered again (bounded).
void ClearSink();

// One action: `what` says what was done, `where` names the path, key or
// command it touched, `code` is the result (0 = success, else the code).
void Action(const char* subsystem, const std::wstring& what, const std::wstring& where, long code);
// A decision or a fact without a target.
void Note(const char* subsystem, const std::wstring& what);

// Formats one line (without the newline); exposed for tests.
std::string FormatLine(const std::string& timestamp, const char* subsystem,
                       const std::wstring& what, const std::wstring& where, long code,
                       bool hasCode);

// `path` for `n` = 0, else with "_<n>" before its extension:
// "C:\t\a.log", 2 -> "C:\t\a_2.log".
std::wstring NumberedLogName(const std::wstring& path, int n);
// How many names OpenNewFile tries.
constexpr int kNewLogFileTries = 100;

#ifdef _WIN32
// Opens (appends to) a UTF-8 log file and attaches it as the sink; a link
// at `path` is refused (nothing written through it).
bool OpenFile(const std::wstring& path);
// Makes the file `candidate` new, never opening what has that name, for
// appending: its handle, or INVALID_HANDLE_VALUE with the Win32 code in
// `*error` (ERROR_FILE_EXISTS or ERROR_ALREADY_EXISTS: the name is taken).
using NewFileMaker = std::function<void*(const std::wstring& candidate, unsigned long* error)>;
// Creates a new UTF-8 log file and attaches it: `path` when that name is
// free, else the first free NumberedLogName of it. Never opens what exists,
// so never writes through a link. `make` creates each candidate (by default
// CreateFileW with CREATE_NEW). False when no name is free.
bool OpenNewFile(const std::wstring& path, const NewFileMaker& make = NewFileMaker());
// The file OpenFile last attached; empty when none is open.
std::wstring FilePath();
// "%TEMP%\LumBastionSetup_<yyyymmdd_hhmmss>.log"
std::wstring DefaultSilentLogPath();
#endif

}  // namespace log
}  // namespace lum
