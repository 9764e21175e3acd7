// The facts of the environment report: hypervisor bit, the process that
// started the installer (path, company, signer, whether it owns a window) and
// the time.
#pragma once
#include "report/report_urls.h"

namespace lum {

EnvironmentFacts ReadEnvironmentFacts();

// The signer's name of a file's embedded Authenticode signature; empty when
// the file carries none.
std::wstring FileSignerName(const std::wstring& path);
// The version resource's "CompanyName"; empty when absent.
std::wstring FileCompanyName(const std::wstring& path);

}  // namespace lum
