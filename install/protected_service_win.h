// The protected service "ZVProtected" (Windows 10 1709 and later): its
// record, its registration by "safemon\WscReg.exe" and its "install" start.
//
// Threading: the install worker only.
#pragma once
#include <string>

namespace lum {

constexpr unsigned kRegistrarWaitMs = 50000;
constexpr unsigned kProtectedFinishWaitMs = 60000;
constexpr unsigned kProtectedStopWaitMs = 20000;

// True when the service was started with "install" (its finish event was
// then waited for, at most kProtectedFinishWaitMs).
bool InstallProtectedService(const std::wstring& installDir);

}  // namespace lum
