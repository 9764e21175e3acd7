// The licence and privacy version texts of an interactive install, asked of
// the statistics service (report/document_version.h). Each request is bounded
// in time and in what is read, and logged.
#pragma once
#include <string>

namespace lum {

// The version text, or empty when it cannot be fetched within `timeoutMs` or
// the answer is no version text.
std::wstring FetchLicenseVersion(unsigned timeoutMs);
std::wstring FetchPrivacyVersion(unsigned timeoutMs);

// Fetches both (5,000 ms each) and writes them as "LicenseDateVer" and
// "PrivacyDateVer" under HKLM `key`, "-" for one that could not be fetched.
void RecordDocumentVersions(const std::wstring& key);

}  // namespace lum
