// Figures of the tray link under Wine (win32 target tray_link_bench; `./dev
// bench` runs it): the start-up cost of the callback server (thread, pipe
// instance, listening), its stop, a registration round trip with the stand-in
// tray service (which calls the installer back twice before it answers), and
// one plain call on a registered link. Medians of repeated rounds.
//
//   tray_link_bench.exe <path of safemon\ZVTrayService.exe>
#include <windows.h>
#include <ztray/ZTrayService.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "system/product_location_win.h"
#include "system/registry_win.h"
#include "tray/callback_server_win.h"
#include "tray/launch_rules.h"
#include "tray/pipe_names.h"
#include "tray/tray_link_win.h"
#include "tray/tray_requests_win.h"
#include "tray/volume_serial_win.h"

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration<double, std::milli>(to - from).count();
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  using namespace lum;
  if (argc < 2) {
    std::printf("usage: tray_link_bench <ZVTrayService.exe>\n");
    return 2;
  }
  constexpr int kRounds = 20;
  std::vector<double> start, stop;
  for (int n = 0; n < kRounds; ++n) {
    const auto t0 = Clock::now();
    if (!tray::StartCallbackServer()) return 1;
    while (tray::CallbackPipeHandle() == nullptr) Sleep(0);
    const auto t1 = Clock::now();
    tray::StopCallbackServer();
    start.push_back(Ms(t0, t1));
    stop.push_back(Ms(t1, Clock::now()));
  }
  std::printf("callback server start until listening: median %.2f ms (%d rounds)\n",
              Median(start), kRounds);
  std::printf("callback server stop:                  median %.2f ms\n", Median(stop));

  std::wstring line = L"\"" + std::wstring(argv[1]) + L"\"";
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info = {};
  if (!CreateProcessW(argv[1], &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &info)) {
    std::printf("tray service not started (%lu)\n", GetLastError());
    return 1;
  }
  CloseHandle(info.hThread);
  const std::wstring pipe = L"\\\\.\\pipe\\" + tray::ServicePipeName(tray::SystemVolumeSerial());
  for (int n = 0; n < 100 && !WaitNamedPipeW(pipe.c_str(), 100); ++n) Sleep(100);

  // The link talks only to the service program of the install folder: the
  // bench names the service's product folder as that folder. Whether the
  // program is trusted is not what it measures.
  std::wstring folder = argv[1];
  for (wchar_t& c : folder)
    if (c == L'/') c = L'\\';
  for (int up = 0; up < 2; ++up) {
    const size_t slash = folder.find_last_of(L'\\');
    folder.resize(slash == std::wstring::npos ? 0 : slash);
  }
  RegKey appPaths;
  if (!appPaths.Create(HKEY_LOCAL_MACHINE, kMainProgramAppPathsKey, KEY_SET_VALUE, RegView::k32) ||
      !appPaths.WriteString(L"Path", folder)) {
    std::printf("install folder not recorded\n");
    return 1;
  }
  StartTrayLink([](const std::wstring&) { return true; });
  while (tray::CallbackPipeHandle() == nullptr) Sleep(0);
  std::vector<double> registration, call;
  for (int n = 0; n < kRounds; ++n) {
    ReleaseTrayLink();
    const auto t0 = Clock::now();
    if (tray::Connect() != tray::kTraySuccess) {
      std::printf("registration failed\n");
      TerminateProcess(info.hProcess, 1);
      return 1;
    }
    registration.push_back(Ms(t0, Clock::now()));
  }
  for (int n = 0; n < 200; ++n) {
    const auto t0 = Clock::now();
    tray::CallService(L"ping", [](ztray::ZTrayServiceClient& c) { return c.ping(1); });
    call.push_back(Ms(t0, Clock::now()));
  }
  std::printf("registration round trip (incl. 2 callbacks): median %.2f ms (%d rounds)\n",
              Median(registration), kRounds);
  std::printf("one call on a registered link:              median %.3f ms (200 calls)\n",
              Median(call));
  StopService();
  WaitForSingleObject(info.hProcess, 10000);
  CloseHandle(info.hProcess);
  StopTrayLink();
  return 0;
}
