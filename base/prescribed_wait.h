// Waits that the install procedure is told to make (fixed sleeps, polls of
// another program's progress, bounded waits for the product's own programs
// and events), each logged with its name and its length, so that a log (and
// the install benchmark) tells time spent waiting from the installer's own
// work. Waits are logged at their outermost level only (a worker's wait
// covers what the worker waits for), so their lengths add up. Any thread.
#pragma once
#include <chrono>
#include <string>

namespace lum {

// Sleeps `ms` and logs it.
void PrescribedSleep(const char* subsystem, const std::wstring& name, unsigned long ms);

// Measures a wait made some other way (a wait on a thread, process or event,
// or a polling loop) from construction until Done() or destruction.
class PrescribedWait {
 public:
  PrescribedWait(const char* subsystem, std::wstring name);
  ~PrescribedWait() { Done(); }
  PrescribedWait(const PrescribedWait&) = delete;
  PrescribedWait& operator=(const PrescribedWait&) = delete;
  void Done();

 private:
  const char* subsystem_;
  std::wstring name_;
  std::chrono::steady_clock::time_point start_;
  bool done_ = false;
};

// The log line's text: "prescribed wait <ms> ms: <name>".
std::wstring PrescribedWaitText(const std::wstring& name, unsigned long long ms);

}  // namespace lum
