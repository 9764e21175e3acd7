#include "install/install_placeholders_win.h"

#include "base/not_built.h"

namespace lum {

namespace {
constexpr const char* kInstall = "install";
}  // namespace

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
