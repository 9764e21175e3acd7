// Entry points of components that start-up calls but that this build does not
// carry yet (statistics reports, the referral page, the offer server, the
// tray service link, the self-protection switch, the restart). Each logs that
// it is not available and answers what an unavailable component answers:
// nothing sent, no link, no offer answer, no tray link. When a component
// lands, its real definition replaces the one in later_components_win.cpp.
#pragma once
#include <cstdint>
#include <string>

namespace lum {

// Offer server answer (QueryOffer). `answered` false: no usable answer.
struct OfferAnswer {
  bool answered = false;
  int mode = 0;               // 2: the decision is left to the installer
  uint64_t languageMask = 0;  // bit LanguageBit(code) set: offered for that language
};
OfferAnswer QueryOffer(bool apply);

bool StartTrayLink();
void StopTrayLink();
void SendChannelReport(unsigned timeoutMs);
void SendEnvironmentReport(unsigned timeoutMs);
void SendResultReport(int result);
std::wstring GetReferralLink();
// Opens `url` through the product's utility module with lowered rights.
bool OpenLinkWithLoweredRights(const std::wstring& url);
bool RestartWindows();

// --- install run (steps of the install procedure owned by later components) ---
// Unavailable answers: false (not done), 0 entries, no answer. None of them
// fails the install; the run goes on as with a failed best-effort step.
bool IsActiveDefenseLaunchProtected();
bool WaitActiveDefenseExit();
bool RemoveOldFirefoxExtension();
bool RemoveEngineSwitch(int engine);
bool RemoveEngineFiles(int engine, bool all);
bool SetDeepScanHrmDisabled(bool disabled);
bool SetCloudAnalysis(bool on);
// Unloads the product's common module when it is loaded, so its file can be replaced.
bool UnloadCommonModule();
// Edition reported by the product's common module; 0 when unavailable.
int CommonModuleEdition();
// Edition reported by the vendor base module; 0 when unavailable.
int BaseModuleEdition();
// The driver pass; `afterEntry(i)` is called after entry i (0-based) ran.
bool RunDriverPass(const std::wstring& installDir, void (*afterEntry)(int index, void* context),
                   void* context);
// Start-menu and desktop shortcuts with the uninstall entry: 0 or the error
// code of the uninstall key.
long CreateShortcuts(const std::wstring& installDir);
bool RegisterContextMenu(const std::wstring& installDir);
// True when the running Windows is the dotted version ("10.0.16299") or newer.
bool IsAtLeastBuild(const std::wstring& dotted);
bool InstallProtectedService();
bool BringUpActiveDefense();
bool EnableFlightSigning();
bool SetQualityCompatFlag();
void SetIntroFlags();
// Number of entries the component scan leaves (the monitor is told when > 0).
int RunComponentScan();
// Licence and privacy version texts; empty when they cannot be fetched.
std::wstring FetchLicenseVersion(unsigned timeoutMs);
std::wstring FetchPrivacyVersion(unsigned timeoutMs);
bool PartnerOfferAccepted();
// Partner-offer mode for the session's promotion list (2: left to the installer).
int PartnerOfferMode();
// Stores the scrambled theme record (time, theme, machine identifier).
bool StoreThemeRecord(const std::wstring& themeName);
// Stores the business hash record in the product's scrambled form.
bool StoreBusinessHash(const std::wstring& hash);
// Whether the installed product's account link still matches this run.
bool AccountLinkMatches();
// The browser hosts and extension (through the product's proxy module when present).
bool RegisterBrowserHosts(const std::wstring& installDir, bool firstInstall);
void SendInstallReports(unsigned timeoutMs);
// Switches the product's self-protection off for the install folder; false
// when the tool could not be started or refused.
bool DisableSelfProtection(const std::wstring& installDir);
// Starts the installed product as the interactive user (after a successful run).
bool StartInstalledProduct(const std::wstring& installDir);

}  // namespace lum
