// Requests the install engine makes of the product's tray service link. The
// link itself is a later component; until it lands these answer what the link
// answers when the tray service is absent: "not connected" (-6), logged.
#pragma once

namespace lum {

constexpr int kTrayNotConnected = -6;

// Asks the real-time monitor windows to exit (copy-data code 'EXIT').
int BroadcastMonitorExit();
// Asks the product's tray service to stop its protection service.
int StopService();

}  // namespace lum
