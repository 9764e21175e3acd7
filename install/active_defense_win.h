// The product's active-defense service: letting the running one go before
// its files are replaced, and bringing the new one up after the install.
//
// Threading: called on the install worker. BringUpActiveDefense runs two
// short-lived worker threads one after the other with bounded waits; a
// worker that outlives its wait keeps running on its own copy of the install
// folder and its handle is only closed.
#pragma once
#include <string>

namespace lum {

// Waits without limit a worker may spend registering the service, and the
// bounded waits of the bring-up (what the install spends at most waiting).
constexpr unsigned kRegisterWorkerWaitMs = 50000;
constexpr unsigned kStartWorkerWaitMs = 10000;
constexpr int kReadyPolls = 5;
constexpr int kWatchdogReadyPolls = 10;

// The active-defense service is launch-protected (anti-malware light): its
// files cannot be replaced until a restart.
bool IsActiveDefenseLaunchProtected();

// Asks the tray service to stop the product, waits up to 6 s for
// "ZVActiveDefense.exe" to end, then ends it and waits up to 5 s more. True
// when it no longer runs.
bool WaitActiveDefenseExit();

// Re-registers the service (removing the old "ZVService"), starts it with
// "install" and waits for its readiness mutex, with the watchdog's
// registration as the fallback. False when it was not confirmed running.
bool BringUpActiveDefense(const std::wstring& installDir);

// The fallback: starts the installed product's watchdog with "/install"
// (trusted image only, not waited for). True when it started.
bool RunWatchdogInstall();

}  // namespace lum
