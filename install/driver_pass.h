// Which of the payload's driver and plug-in installer modules the driver
// pass calls on this Windows, and how: decided from plain facts so that the
// platform rules are tested natively.
#pragma once
#include <string>
#include <vector>

namespace lum {

struct DriverPassFacts {
  bool driversSupported = false;  // DriverPlatformSupported
  bool is64BitOs = false;         // Is64BitOs
  bool sandboxSupported = false;  // SandboxPlatformSupported
};

// What counts as the entry's success.
enum class EntrySuccess { kReturnsOne, kReturnsZero, kCalled };

struct ModuleStep {
  int order = 0;              // 1..6
  std::wstring relativePath;  // inside the install folder
  std::string entry;          // exported name
  bool integerArgument = false;  // called with one integer, 0
  EntrySuccess success = EntrySuccess::kCalled;
  bool pinned = false;        // kept loaded until the process ends
  // False: the step is skipped here; it reports success when `skipSucceeds`.
  bool run = false;
  bool skipSucceeds = false;
  std::wstring driverServiceKey;  // follow-up on this driver's service key (or empty)
  bool followUpAlways = false;    // also when the entry failed or was skipped
};

// The six module steps in the pass's order.
std::vector<ModuleStep> PlanModuleSteps(const DriverPassFacts& facts);

}  // namespace lum
