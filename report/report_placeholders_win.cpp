#include "report/report_placeholders_win.h"

#include "base/not_built.h"

namespace lum {

std::wstring FetchLicenseVersion(unsigned) {
  LogNotBuilt(L"licence version", "install");
  return std::wstring();
}

std::wstring FetchPrivacyVersion(unsigned) {
  LogNotBuilt(L"privacy version", "install");
  return std::wstring();
}

}  // namespace lum
