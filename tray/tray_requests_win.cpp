#include "tray/tray_requests_win.h"

#include "base/install_log.h"

namespace lum {

int BroadcastMonitorExit() {
  log::Action("process", L"monitor exit broadcast: tray link not connected", L"ZLumSafeMonClass",
              kTrayNotConnected);
  return kTrayNotConnected;
}

int StopService() {
  log::Action("process", L"stop request: tray link not connected", L"ZVActiveDefense",
              kTrayNotConnected);
  return kTrayNotConnected;
}

}  // namespace lum
