// Requests the install engine makes of the product's tray service over the
// link (tray_link_win.h): results 1 success, -4 transport or protocol error,
// -6 not connected (no tray service: the install goes on without it).
#pragma once

namespace lum {

constexpr int kTrayNotConnected = -6;

// Asks the real-time monitor windows of every session to exit (copy-data code 'EXIT').
int BroadcastMonitorExit();
// Asks the product's tray service to stop its protection service, then releases
// the link (the next request connects anew).
int StopService();

}  // namespace lum
