#include "system/restart_rerun.h"

namespace lum {

std::wstring RestartRerunCommand(const std::wstring& installerPath) {
  return L"\"" + installerPath + L"\" /post";
}

std::wstring PostWaitArguments() { return L" /post:wait"; }

}  // namespace lum
