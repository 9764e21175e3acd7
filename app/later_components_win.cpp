#include "app/later_components_win.h"

#include <windows.h>

#include <cwchar>
#include <cstdlib>
#include <vector>

#include "app/install_log.h"
#include "app/session_settings.h"
#include "app/text.h"
#include "system/windows_version_win.h"

namespace lum {

namespace {

void Unavailable(const wchar_t* component, const char* subsystem = "startup") {
  log::Note(subsystem, std::wstring(component) + L": not available in this build");
}

constexpr const char* kInstall = "install";

}  // namespace

OfferAnswer QueryOffer(bool apply) {
  Unavailable(L"offer query");
  if (apply) {
    // No usable answer: the offer is left open, preselected only for channel 101.
    SessionSettings& session = Session();
    session.offerMode = 2;
    session.offerChecked = EqualsNoCase(session.channel, L"101");
  }
  return OfferAnswer();
}

bool StartTrayLink() {
  Unavailable(L"tray service link");
  return false;
}

void StopTrayLink() {}

void SendChannelReport(unsigned) { Unavailable(L"channel report"); }
void SendEnvironmentReport(unsigned) { Unavailable(L"environment report"); }
void SendResultReport(int) { Unavailable(L"result report"); }

std::wstring GetReferralLink() {
  Unavailable(L"referral link");
  return std::wstring();
}

bool OpenLinkWithLoweredRights(const std::wstring&) {
  Unavailable(L"utility module link opening");
  return false;
}

bool RestartWindows() {
  Unavailable(L"restart of Windows");
  return false;
}

// --- install run ---

bool IsActiveDefenseLaunchProtected() {
  Unavailable(L"active-defense launch protection query", kInstall);
  return false;
}
bool WaitActiveDefenseExit() {
  Unavailable(L"active-defense exit wait", kInstall);
  return false;
}
bool RemoveOldFirefoxExtension() {
  Unavailable(L"old browser extension removal", kInstall);
  return false;
}
bool RemoveEngineSwitch(int) {
  Unavailable(L"scan-engine switch removal", kInstall);
  return false;
}
bool RemoveEngineFiles(int, bool) {
  Unavailable(L"scan-engine file removal", kInstall);
  return false;
}
bool SetDeepScanHrmDisabled(bool) {
  Unavailable(L"deep-scan switch", kInstall);
  return false;
}
bool SetCloudAnalysis(bool) {
  Unavailable(L"cloud-analysis switch", kInstall);
  return false;
}
bool UnloadCommonModule() { return false; }  // never loaded by this build
int CommonModuleEdition() { return 0; }
int BaseModuleEdition() { return 0; }
bool RunDriverPass(const std::wstring&, void (*)(int, void*), void*) {
  Unavailable(L"services and drivers", kInstall);
  return false;
}
long CreateShortcuts(const std::wstring&) {
  Unavailable(L"shortcuts and uninstall entry", kInstall);
  return ERROR_CALL_NOT_IMPLEMENTED;
}
bool RegisterContextMenu(const std::wstring&) {
  Unavailable(L"context-menu module", kInstall);
  return false;
}
bool IsAtLeastBuild(const std::wstring& dotted) {
  const WindowsVersion version = GetWindowsVersion();
  const unsigned long have[3] = {version.major, version.minor, version.build};
  const std::vector<std::wstring> parts = Split(dotted, L'.', false);
  for (size_t i = 0; i < 3 && i < parts.size(); ++i) {
    const unsigned long want = std::wcstoul(parts[i].c_str(), nullptr, 10);
    if (have[i] != want) return have[i] > want;
  }
  return true;
}
bool InstallProtectedService() {
  Unavailable(L"protected service", kInstall);
  return false;
}
bool BringUpActiveDefense() {
  Unavailable(L"active-defense service", kInstall);
  return false;
}
bool EnableFlightSigning() {
  Unavailable(L"flight signing", kInstall);
  return false;
}
bool SetQualityCompatFlag() {
  Unavailable(L"quality compatibility flag", kInstall);
  return false;
}
void SetIntroFlags() { Unavailable(L"introduction flags", kInstall); }
int RunComponentScan() {
  Unavailable(L"component scan", kInstall);
  return 0;
}
std::wstring FetchLicenseVersion(unsigned) {
  Unavailable(L"licence version", kInstall);
  return std::wstring();
}
std::wstring FetchPrivacyVersion(unsigned) {
  Unavailable(L"privacy version", kInstall);
  return std::wstring();
}
bool PartnerOfferAccepted() { return false; }
int PartnerOfferMode() {
  Unavailable(L"partner offer");
  return 0;
}
bool StoreThemeRecord(const std::wstring&) {
  Unavailable(L"theme record", kInstall);
  return false;
}
bool StoreBusinessHash(const std::wstring&) {
  Unavailable(L"business hash record", kInstall);
  return false;
}
bool AccountLinkMatches() {
  // Without the account component nothing can be compared: keep what is there.
  return true;
}
bool RegisterBrowserHosts(const std::wstring&, bool) {
  Unavailable(L"browser hosts and extension", kInstall);
  return false;
}
void SendInstallReports(unsigned) { Unavailable(L"install reports", kInstall); }
bool DisableSelfProtection(const std::wstring&) {
  Unavailable(L"self-protection switch", kInstall);
  return false;
}
bool StartInstalledProduct(const std::wstring&) {
  Unavailable(L"product start as the interactive user", kInstall);
  return false;
}

}  // namespace lum
