// Which desktop entries count as "only shortcuts": the rule, apart from the
// folder listing, so it is tested natively.
#pragma once
#include <string>
#include <vector>

namespace lum {

// True when every name is ".", "..", contains "desktop.ini" or contains
// ".lnk" (case-insensitively, as the shell treats names).
bool NamesAreOnlyShortcuts(const std::vector<std::wstring>& names);

}  // namespace lum
