#include "base/install_log.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <deque>
#include <mutex>
#include <utility>

#include "base/text.h"

namespace lum {
namespace log {
namespace {

// Lines written before the sink exists (or after it is detached). Start-up
// attaches the sink within a few dozen lines; the bound only protects a run
// whose log is never opened from growing without limit.
constexpr size_t kMaxBufferedLines = 4096;

struct LogState {
  std::mutex lock;
  Sink sink;
  std::deque<std::string> pending;
  size_t dropped = 0;
};

// Never destroyed: threads and static destructors may still log while the
// process winds down.
LogState& State() {
  static LogState* state = new LogState;
  return *state;
}

std::string Timestamp() {
  using namespace std::chrono;
  const auto now = system_clock::now();
  const std::time_t seconds = system_clock::to_time_t(now);
  const long millis =
      static_cast<long>(duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000);
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &seconds);
#else
  localtime_r(&seconds, &local);
#endif
  char text[80];
  std::snprintf(text, sizeof(text), "%04d-%02d-%02d %02d:%02d:%02d.%03ld", local.tm_year + 1900,
                local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec, millis);
  return text;
}

// One record is one line: line breaks inside a message become blanks.
std::string OneLine(const std::wstring& text) {
  std::string utf8 = WideToUtf8(text);
  for (char& c : utf8) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  return utf8;
}

std::string DroppedNote(size_t dropped) {
  return FormatLine(Timestamp(), "log",
                    L"earlier lines dropped before the log was opened: " + std::to_wstring(dropped),
                    L"", 0, false);
}

void Write(std::string line) {
  LogState& state = State();
  std::lock_guard<std::mutex> guard(state.lock);
  if (state.sink) {
    state.sink(line);
    return;
  }
  if (state.pending.size() >= kMaxBufferedLines) {
    ++state.dropped;
    return;
  }
  state.pending.push_back(std::move(line));
}

}  // namespace

std::string FormatLine(const std::string& timestamp, const char* subsystem,
                       const std::wstring& what, const std::wstring& where, long code,
                       bool hasCode) {
  std::string line = timestamp;
  line += " [";
  line += subsystem ? subsystem : "";
  line += "] ";
  line += OneLine(what);
  if (hasCode) {
    line += " | ";
    line += OneLine(where);
    line += " | ";
    line += std::to_string(code);
  }
  return line;
}

void SetSink(Sink sink) {
  LogState& state = State();
  std::lock_guard<std::mutex> guard(state.lock);
  state.sink = std::move(sink);
  if (!state.sink) return;
  while (!state.pending.empty()) {
    state.sink(state.pending.front());
    state.pending.pop_front();
  }
  if (state.dropped != 0) {
    state.sink(DroppedNote(state.dropped));
    state.dropped = 0;
  }
}

void ClearSink() {
  Sink old;
  {
    LogState& state = State();
    std::lock_guard<std::mutex> guard(state.lock);
    old = std::move(state.sink);
    state.sink = nullptr;
  }
  // The old sink (and the file it may own) is released outside the lock.
}

void Action(const char* subsystem, const std::wstring& what, const std::wstring& where, long code) {
  Write(FormatLine(Timestamp(), subsystem, what, where, code, true));
}

void Note(const char* subsystem, const std::wstring& what) {
  Write(FormatLine(Timestamp(), subsystem, what, L"", 0, false));
}

std::wstring NumberedLogName(const std::wstring& path, int n) {
  if (n == 0) return path;
  const size_t slash = path.find_last_of(L"\\/");
  size_t dot = path.rfind(L'.');
  if (dot == std::wstring::npos || (slash != std::wstring::npos && dot < slash)) dot = path.size();
  return path.substr(0, dot) + L"_" + std::to_wstring(n) + path.substr(dot);
}

}  // namespace log
}  // namespace lum
