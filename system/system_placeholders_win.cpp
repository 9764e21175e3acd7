#include "system/system_placeholders_win.h"

#include <windows.h>

#include "base/not_built.h"

namespace lum {

namespace {
constexpr const char* kInstall = "install";
}  // namespace

bool IsActiveDefenseLaunchProtected() {
  LogNotBuilt(L"active-defense launch protection query", kInstall);
  return false;
}
bool WaitActiveDefenseExit() {
  LogNotBuilt(L"active-defense exit wait", kInstall);
  return false;
}
bool RunDriverPass(const std::wstring&, void (*)(int, void*), void*) {
  LogNotBuilt(L"services and drivers", kInstall);
  return false;
}
bool InstallProtectedService() {
  LogNotBuilt(L"protected service", kInstall);
  return false;
}
bool BringUpActiveDefense() {
  LogNotBuilt(L"active-defense service", kInstall);
  return false;
}
bool EnableFlightSigning() {
  LogNotBuilt(L"flight signing", kInstall);
  return false;
}
bool SetQualityCompatFlag() {
  LogNotBuilt(L"quality compatibility flag", kInstall);
  return false;
}
bool DisableSelfProtection(const std::wstring&) {
  LogNotBuilt(L"self-protection switch", kInstall);
  return false;
}

}  // namespace lum
