// The calling rules of a program start through the tray service: the command
// line it is given, the integrity level it asks for, and the retries.
#pragma once
#include <functional>
#include <string>

namespace lum {
namespace tray {

// The link's results (the service's own answers pass through unchanged).
constexpr int kTraySuccess = 1;
constexpr int kTrayNoProcessId = -3;
constexpr int kTrayTransportError = -4;
constexpr int kTrayLinkNotConnected = -6;

// The command the service receives: "\"<file>\" <arguments>".
std::wstring LaunchCommandLine(const std::wstring& file, const std::wstring& arguments);

// 3 (high) only when the session's shell is found and runs with the
// Administrators group, else 2 (medium): a program started for the user gets
// no more rights than the user's own shell has, and with no shell to judge
// by it gets the lesser level.
int LaunchIntegrityLevel(bool shellFound, bool shellHoldsAdministrators);

// Calls `attempt` until it answers kTraySuccess, at most `tries` times, with
// `pause` between two attempts; answers kTraySuccess or the last answer.
int RetryUntilSuccess(const std::function<int()>& attempt, int tries,
                      const std::function<void()>& pause);

}  // namespace tray
}  // namespace lum
