// Switching the installed product's self-protection off before a reinstall,
// through the product's own tool "safemon\LumSPTool.exe".
#pragma once
#include <string>

namespace lum {

// The exit code with which the tool refuses (agreed with the tool).
constexpr unsigned long kSelfProtectionRefused = 47114;

// Runs "LumSPTool.exe /disablesp 3" and waits for it, when the drivers are
// supported here and the tool exists in `productFolder`. False when the tool
// could not be started or refused: the installation must not proceed. True
// otherwise, also when there is no tool (nothing protects the product).
bool DisableSelfProtection(const std::wstring& productFolder);

}  // namespace lum
