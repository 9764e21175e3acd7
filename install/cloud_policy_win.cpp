#include "install/cloud_policy_win.h"

#include <windows.h>

#include "system/registry_win.h"

namespace lum {

CloudFacts ReadDeepScanPolicy() {
  CloudFacts facts;
  RegKey key;
  if (key.Open(HKEY_LOCAL_MACHINE, L"SOFTWARE\\LumBastion\\DeepScan", KEY_QUERY_VALUE)) {
    facts.cloudValuePresent = key.HasValue(L"CloudAnalysis");
    DWORD skip = 0;
    facts.skipUpload = key.ReadDword(L"SkipUpload", &skip) && skip == 1;
  }
  return facts;
}

}  // namespace lum
