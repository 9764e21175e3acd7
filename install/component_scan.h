// The component scan of a first install: the real-time file monitors of other
// antivirus products. Two real-time scanners in the same file-system path
// block and rescan each other's work, so when one is found the product starts
// with its own file monitor off (protection mode 2 becomes 1) and the
// real-time monitor tells the user which product it stepped aside for.
//
// A real-time antivirus file monitor is a service in the load-order group
// that Windows reserves for antivirus file-system filters ("FSFilter
// Anti-Virus"); that group, not a list of product names, is what is looked
// for, so a product this build never heard of is found too.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace lum {

// What the scan reads of one service key.
struct ServiceFacts {
  std::wstring name;         // the key name
  std::wstring displayName;  // "DisplayName"; may be empty
  std::wstring group;        // "Group"
  uint32_t start = 3;        // "Start"
  bool markedForRemoval = false;  // "DeleteFlag" = 1
};

// One entry the scan leaves for the monitor: value name and text shown.
struct ComponentEntry {
  std::wstring name;
  std::wstring displayName;
};

// The services that are another product's real-time file monitor: in the
// antivirus filter group, not disabled (start 4), not marked for removal, and
// neither the product's own filter nor the system's built-in one (which stands
// down by itself when another antivirus registers with the system).
std::vector<ComponentEntry> OtherFileMonitors(const std::vector<ServiceFacts>& services);

}  // namespace lum
