#include "system/reboot_flags.h"

#include <atomic>

namespace lum {

namespace {
std::atomic<bool> rebootNeeded{false};
std::atomic<bool> doNotStartProduct{false};
std::atomic<bool> restartOnExit{false};
}  // namespace

bool RebootNeeded() { return rebootNeeded.load(); }
void SetRebootNeeded(bool value) { rebootNeeded.store(value); }
bool DoNotStartProduct() { return doNotStartProduct.load(); }
void SetDoNotStartProduct(bool value) { doNotStartProduct.store(value); }
bool RestartOnExit() { return restartOnExit.load(); }
void SetRestartOnExit(bool value) { restartOnExit.store(value); }

}  // namespace lum
