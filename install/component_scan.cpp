#include "install/component_scan.h"

#include "base/text.h"

namespace lum {

namespace {

constexpr const wchar_t* kAntivirusFilterGroup = L"FSFilter Anti-Virus";
constexpr uint32_t kStartDisabled = 4;
// The product's own file monitor and the system's built-in antivirus filter.
constexpr const wchar_t* kNotOthers[] = {L"LumAvFlt", L"WdFilter"};

}  // namespace

std::vector<ComponentEntry> OtherFileMonitors(const std::vector<ServiceFacts>& services) {
  std::vector<ComponentEntry> found;
  for (const ServiceFacts& s : services) {
    if (!EqualsNoCase(TrimBlanks(s.group), kAntivirusFilterGroup)) continue;
    if (s.start == kStartDisabled || s.markedForRemoval) continue;
    bool own = false;
    for (const wchar_t* name : kNotOthers) own = own || EqualsNoCase(s.name, name);
    if (own) continue;
    found.push_back({s.name, s.displayName.empty() ? s.name : s.displayName});
  }
  return found;
}

}  // namespace lum
