#include "install/install_placeholders_win.h"

#include "base/not_built.h"

namespace lum {

namespace {
constexpr const char* kInstall = "install";
}  // namespace

bool RemoveEngineSwitch(int) {
  LogNotBuilt(L"scan-engine switch removal", kInstall);
  return false;
}
bool RemoveEngineFiles(int, bool) {
  LogNotBuilt(L"scan-engine file removal", kInstall);
  return false;
}
bool SetDeepScanHrmDisabled(bool) {
  LogNotBuilt(L"deep-scan switch", kInstall);
  return false;
}
bool SetCloudAnalysis(bool) {
  LogNotBuilt(L"cloud-analysis switch", kInstall);
  return false;
}
int RunComponentScan() {
  LogNotBuilt(L"component scan", kInstall);
  return 0;
}
bool StoreThemeRecord(const std::wstring&) {
  LogNotBuilt(L"theme record", kInstall);
  return false;
}
bool StoreBusinessHash(const std::wstring&) {
  LogNotBuilt(L"business hash record", kInstall);
  return false;
}
bool AccountLinkMatches() {
  // Without the account component nothing can be compared: keep what is there.
  return true;
}

}  // namespace lum
