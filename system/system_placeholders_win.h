// Services and drivers that the install run calls. Not built yet: each logs
// so and answers "not done"; none of them fails the install.
#pragma once
#include <string>

namespace lum {

bool IsActiveDefenseLaunchProtected();
bool WaitActiveDefenseExit();
// The driver pass; `afterEntry(i)` is called after entry i (0-based) ran.
bool RunDriverPass(const std::wstring& installDir, void (*afterEntry)(int index, void* context),
                   void* context);
bool InstallProtectedService();
bool BringUpActiveDefense();
bool EnableFlightSigning();
bool SetQualityCompatFlag();
// Switches the product's self-protection off for the install folder; false
// when the tool could not be started or refused.
bool DisableSelfProtection(const std::wstring& installDir);

}  // namespace lum
