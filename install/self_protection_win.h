// Switching the installed product's self-protection off before a reinstall,
// through the product's own tool "safemon\LumSPTool.exe".
#pragma once
#include <string>

namespace lum {

// The exit code with which the tool refuses (agreed with the tool).
constexpr unsigned long kSelfProtectionRefused = 47114;

// The longest wait for the tool's answer. It runs on the main thread of a
// silent run and on the window's thread of an interactive one, so it is
// bounded; a tool that has not answered by then counts as a refusal.
constexpr unsigned long kSelfProtectionWaitMs = 60000;

// Runs "LumSPTool.exe /disablesp 3" and waits for it (kSelfProtectionWaitMs
// at most), when the drivers are supported here and the tool exists in
// `productFolder`. False when the tool could not be started, refused or did
// not answer in time: the installation must not proceed. True otherwise,
// also when there is no tool (nothing protects the product).
bool DisableSelfProtection(const std::wstring& productFolder);

// Test programs only: the wait in milliseconds instead of
// kSelfProtectionWaitMs; 0 restores it. The installer never sets it.
void SetSelfProtectionWaitForTest(unsigned long ms);

}  // namespace lum
