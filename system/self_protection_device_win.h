// The product's self-protection driver, asked whether it vouches for this
// process. Wine (and a machine without the product) has no such device.
#pragma once

namespace lum {

enum class SelfProtectionAnswer {
  kNoDevice,      // the device cannot be opened: no driver is loaded
  kAcknowledged,  // the driver knows this process
  kRefused,       // the driver is there but did not acknowledge (or failed)
};

SelfProtectionAnswer AskSelfProtectionDriver();

}  // namespace lum
