#include "tray/tray_requests_win.h"

#include <ztray/ZTrayService.h>

#include "base/install_log.h"
#include "tray/launch_rules.h"
#include "tray/tray_link_win.h"

namespace lum {

static_assert(kTrayNotConnected == tray::kTrayLinkNotConnected, "one code for not connected");

namespace {

constexpr const char* kLog = "process";
constexpr wchar_t kMonitorClass[] = L"ZLumSafeMonClass";
constexpr int32_t kAllSessions = -1;
constexpr int32_t kCopyDataMessage = 74;   // WM_COPYDATA
constexpr int32_t kExitCode = 0x45584954;  // 'EXIT'

}  // namespace

int BroadcastMonitorExit() {
  tray::Connect();
  ztray::ZWndCopyData exit;
  exit.dwMsgID = kExitCode;
  exit.dwBufferSize = 0;
  const int result =
      tray::CallService(L"monitor exit broadcast", [&](ztray::ZTrayServiceClient& client) {
        return client.SendMsg2Users(kAllSessions, "ZLumSafeMonClass", "", kCopyDataMessage, 0, 0,
                                    exit);
      });
  log::Action(kLog, L"monitor exit broadcast through the tray service", kMonitorClass,
              result == tray::kTraySuccess ? 0 : result);
  return result;
}

int StopService() {
  tray::Connect();
  const int result = tray::CallService(
      L"service stop request",
      [](ztray::ZTrayServiceClient& client) { return client.stopService(); });
  log::Action(kLog, L"stop request through the tray service", L"ZVActiveDefense",
              result == tray::kTraySuccess ? 0 : result);
  // The service ends after answering: the link to it is dead either way, and
  // the next request (the product start after the install) connects to the
  // service that is started again.
  ReleaseTrayLink();
  return result;
}

}  // namespace lum
