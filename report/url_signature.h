// The signature a statistics URL carries: "<url>&toat=v1&madt=<d>", where d
// is characters 8 to 31 of the lower-case hex SHA-1 of the URL without its
// scheme followed by the service's 13-byte secret suffix.
#pragma once
#include <string>

namespace lum {

// The signed URL; a URL that does not start with "http" is returned as it is.
std::wstring SignReportUrl(const std::wstring& url, const std::string& suffix);

}  // namespace lum
