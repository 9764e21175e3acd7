#include "system/reboot_flags.h"

#include <atomic>

namespace lum {

namespace {
std::atomic<bool> rebootNeeded{false};
std::atomic<bool> doNotStartProduct{false};
}  // namespace

bool RebootNeeded() { return rebootNeeded.load(); }
void SetRebootNeeded(bool value) { rebootNeeded.store(value); }
bool DoNotStartProduct() { return doNotStartProduct.load(); }
void SetDoNotStartProduct(bool value) { doNotStartProduct.store(value); }

}  // namespace lum
