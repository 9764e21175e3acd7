// Report-side calls of the install run that are not built yet: each logs so
// and answers as an unreachable service does.
#pragma once
#include <string>

namespace lum {

// Licence and privacy version texts; empty when they cannot be fetched.
std::wstring FetchLicenseVersion(unsigned timeoutMs);
std::wstring FetchPrivacyVersion(unsigned timeoutMs);

}  // namespace lum
