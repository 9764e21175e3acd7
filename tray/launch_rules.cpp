#include "tray/launch_rules.h"

namespace lum {
namespace tray {

std::wstring LaunchCommandLine(const std::wstring& file, const std::wstring& arguments) {
  return L"\"" + file + L"\" " + arguments;
}

int LaunchIntegrityLevel(bool shellFound, bool shellHoldsAdministrators) {
  // Without a shell nothing tells how much the user may have: the lesser.
  return shellFound && shellHoldsAdministrators ? 3 : 2;
}

int RetryUntilSuccess(const std::function<int()>& attempt, int tries,
                      const std::function<void()>& pause) {
  int answer = kTrayLinkNotConnected;
  for (int n = 0; n < tries; ++n) {
    if (n > 0) pause();
    answer = attempt();
    if (answer == kTraySuccess) return answer;
  }
  return answer;
}

}  // namespace tray
}  // namespace lum
