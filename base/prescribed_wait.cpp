#include "base/prescribed_wait.h"

#include <thread>

#include "base/install_log.h"

namespace lum {

std::wstring PrescribedWaitText(const std::wstring& name, unsigned long long ms) {
  return L"prescribed wait " + std::to_wstring(ms) + L" ms: " + name;
}

void PrescribedSleep(const char* subsystem, const std::wstring& name, unsigned long ms) {
  PrescribedWait wait(subsystem, name);
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

PrescribedWait::PrescribedWait(const char* subsystem, std::wstring name)
    : subsystem_(subsystem), name_(std::move(name)), start_(std::chrono::steady_clock::now()) {}

void PrescribedWait::Done() {
  if (done_) return;
  done_ = true;
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                      std::chrono::steady_clock::now() - start_)
                      .count();
  log::Note(subsystem_, PrescribedWaitText(name_, static_cast<unsigned long long>(ms)));
}

}  // namespace lum
