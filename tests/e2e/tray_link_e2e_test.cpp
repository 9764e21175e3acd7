// The tray service link against the stand-in tray service on real named
// pipes: no service at all, registration with the callback round trip,
// program starts, the monitor-exit broadcast and the service stop; then a
// silent reinstall over a running product, whose monitor and service leave
// when asked so that their files are replaced in place.
//
// The tests build on each other's machine state, so they run in order.
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "app/session_environment_win.h"
#include "base/install_log.h"
#include "base/text.h"
#include "system/file_ops_win.h"
#include "system/product_location_win.h"
#include "system/win_handle_win.h"
#include "tests/e2e/e2e_support.h"
#include "tray/launch_rules.h"
#include "tray/pipe_names.h"
#include "tray/product_start_win.h"
#include "tray/session_processes_win.h"
#include "tray/tray_link_win.h"
#include "tray/tray_requests_win.h"
#include "tray/volume_serial_win.h"

namespace lum {
namespace {

using e2e::ReadBytes;
using e2e::TempFolder;

std::wstring BuildDir() {
  wchar_t value[1024] = {};
  const DWORD length = GetEnvironmentVariableW(L"LUM_BUILD_DIR", value, 1023);
  return length == 0 || length >= 1023 ? std::wstring() : std::wstring(value, length);
}

// A started program; one still running when the test ends is ended.
class Started {
 public:
  Started(const std::wstring& exe, const std::wstring& args) {
    std::wstring line = L"\"" + exe + L"\" " + args;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    if (CreateProcessW(exe.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                       &startup, &info)) {
      process_.Reset(info.hProcess);
      CloseHandle(info.hThread);
      id_ = info.dwProcessId;
    }
  }
  ~Started() {
    if (process_ && WaitForSingleObject(process_.Get(), 0) == WAIT_TIMEOUT)
      TerminateProcess(process_.Get(), 99);
  }
  bool Running() const { return process_ && WaitForSingleObject(process_.Get(), 0) == WAIT_TIMEOUT; }
  // The exit code once ended within `ms`; -1 while still running.
  long EndedWithin(DWORD ms) const {
    if (!process_ || WaitForSingleObject(process_.Get(), ms) != WAIT_OBJECT_0) return -1;
    DWORD code = 0;
    GetExitCodeProcess(process_.Get(), &code);
    return static_cast<long>(code);
  }
  DWORD Id() const { return id_; }

 private:
  UniqueHandle process_;
  DWORD id_ = 0;
};

bool WaitForPipe(const std::wstring& pipe) {
  for (int n = 0; n < 100; ++n) {
    if (WaitNamedPipeW(pipe.c_str(), 100)) return true;
    Sleep(100);
  }
  return false;
}

bool WaitForWindow(const wchar_t* className) {
  for (int n = 0; n < 100 && FindWindowW(className, nullptr) == nullptr; ++n) Sleep(100);
  return FindWindowW(className, nullptr) != nullptr;
}

class TrayLinkE2eTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    log::SetSink([](const std::string& line) {
      std::lock_guard<std::mutex> hold(linesLock_);
      lines_ += Utf8ToWide(line) + L"\n";
    });
  }
  static void TearDownTestSuite() { log::ClearSink(); }
  void SetUp() override {
    build_ = BuildDir();
    if (build_.empty()) GTEST_SKIP() << "LUM_BUILD_DIR is not set";
  }
  static std::wstring Lines() {
    std::lock_guard<std::mutex> hold(linesLock_);
    return lines_;
  }
  std::wstring Product(const std::wstring& rel) const { return build_ + L"\\product\\" + rel; }
  static std::string Record(const std::wstring& path) { return ReadBytes(path); }
  static bool Has(const std::string& text, const std::string& needle) {
    return text.find(needle) != std::string::npos;
  }

  std::wstring build_;
  static std::mutex linesLock_;
  static std::wstring lines_;
};
std::mutex TrayLinkE2eTest::linesLock_;
std::wstring TrayLinkE2eTest::lines_;

TEST_F(TrayLinkE2eTest, WithoutATrayServiceEveryCallFailsAndTheProductStartsThroughTheShell) {
  // The prefix's drive C: carries this serial (LUM_WINE_SERIAL).
  ASSERT_EQ(tray::kFallbackVolumeSerial, tray::SystemVolumeSerial());
  ASSERT_TRUE(StartTrayLink());
  EXPECT_EQ(tray::kTrayTransportError, tray::Connect());
  EXPECT_EQ(kTrayNotConnected, BroadcastMonitorExit());
  EXPECT_EQ(kTrayNotConnected, StopService());
  EXPECT_EQ(kTrayNotConnected,
            tray::LaunchInUserSession(WTSGetActiveConsoleSessionId(), Product(L"Repair.exe"), L""));

  // The interactive finish: no service, so the shell opens the program.
  EXPECT_TRUE(StartInstalledProduct(build_ + L"\\product"));
  EXPECT_NE(std::wstring::npos, Lines().find(L"start product (shell)")) << Lines();
  EXPECT_TRUE(WaitForWindow(L"ZLumSafeMainClass"));
  if (HWND main = FindWindowW(L"ZLumSafeMainClass", nullptr)) PostMessageW(main, WM_CLOSE, 0, 0);
}

TEST_F(TrayLinkE2eTest, RegistersLaunchesBroadcastsAndStopsTheService) {
  const std::wstring record = TempFolder() + L"tray_service_record.txt";
  DeleteFileW(record.c_str());
  const std::wstring servicePipe = tray::ServicePipeName(tray::kFallbackVolumeSerial);
  EXPECT_EQ(L"{51ADE7F7-2EBC-5E03-AF09-AB5DDC874105}_", servicePipe);
  Started service(Product(L"safemon\\ZVTrayService.exe"), L"/record:" + record);
  ASSERT_TRUE(service.Running());
  ASSERT_TRUE(WaitForPipe(L"\\\\.\\pipe\\" + servicePipe));
  // The service derived the same name from the same drive.
  EXPECT_TRUE(Has(Record(record), "serving " + WideToUtf8(servicePipe))) << Record(record);

  const auto t0 = std::chrono::steady_clock::now();
  ASSERT_EQ(tray::kTraySuccess, tray::Connect());
  std::printf("registration round trip (with the service's callback): %.1f ms\n",
              std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0)
                  .count());
  std::string seen = Record(record);
  EXPECT_TRUE(Has(seen, "RegisterClient pipe=" + WideToUtf8(tray::CallbackPipeName(
                                                      GetCurrentProcessId(),
                                                      tray::kFallbackVolumeSerial)) +
                            " pid=" + std::to_string(GetCurrentProcessId()) + " handle="))
      << seen;
  EXPECT_FALSE(Has(seen, " handle=0 ")) << seen;
  EXPECT_TRUE(Has(seen, "type=1")) << seen;
  EXPECT_TRUE(Has(seen, "callback TestValueClient(42)=42 GetTrayData=[]")) << seen;
  EXPECT_EQ(tray::kTraySuccess, tray::Connect());  // registered once

  // A program that cannot start: three tries, the service's last answer.
  const DWORD session = WTSGetActiveConsoleSessionId();
  EXPECT_EQ(ERROR_FILE_NOT_FOUND,
            tray::LaunchInUserSession(session, build_ + L"\\no-such-program.exe", L"/x"));
  seen = Record(record);
  EXPECT_EQ(3u, e2e::Count(Utf8ToWide(seen), L"no-such-program.exe\" /x integrity=")) << seen;

  // The product's main program, started by the service in this session.
  bool shell = false;
  const bool admin = tray::ShellHoldsAdministrators(session, &shell);
  EXPECT_TRUE(StartInstalledProduct(build_ + L"\\product"));
  seen = Record(record);
  EXPECT_TRUE(Has(seen, "ZVSafeMain.exe\" /install integrity=" +
                            std::to_string(tray::LaunchIntegrityLevel(shell, admin)) +
                            " pid=" + std::to_string(GetCurrentProcessId()) + " answer=1"))
      << seen;
  EXPECT_TRUE(tray::ProcessRunsInSession(L"ZVSafeMain.exe", session));
  if (HWND main = FindWindowW(L"ZLumSafeMainClass", nullptr)) PostMessageW(main, WM_CLOSE, 0, 0);

  // The monitor window hears 'EXIT' through the service and leaves by itself.
  Started monitor(Product(L"safemon\\ZVSafeTray.exe"), L"/start");
  ASSERT_TRUE(WaitForWindow(L"ZLumSafeMonClass"));
  EXPECT_EQ(tray::kTraySuccess, BroadcastMonitorExit());
  EXPECT_EQ(0, monitor.EndedWithin(10000));
  EXPECT_TRUE(Has(Record(record),
                  "SendMsg2Users session=-1 class=ZLumSafeMonClass msg=74 code=45584954 "
                  "delivered=1"))
      << Record(record);

  // The service stops itself when asked; the link notices on its next call.
  EXPECT_EQ(tray::kTraySuccess, StopService());
  EXPECT_EQ(0, service.EndedWithin(10000));
  EXPECT_TRUE(Has(Record(record), "stopService\r\nstopped")) << Record(record);
  EXPECT_EQ(tray::kTrayTransportError, BroadcastMonitorExit());
  EXPECT_EQ(kTrayNotConnected, StopService());

  const auto stopping = std::chrono::steady_clock::now();
  StopTrayLink();
  std::printf("link and callback server stopped in %.1f ms\n",
              std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - stopping)
                  .count());
  EXPECT_NE(std::wstring::npos, Lines().find(L"callback server stopped")) << Lines();
}

TEST_F(TrayLinkE2eTest, ReinstallOverARunningProductAsksMonitorAndServiceToLeave) {
  const std::wstring installer = e2e::InstallerPath();
  ASSERT_FALSE(installer.empty());
  const std::wstring log = TempFolder() + L"lum_tray_reinstall.log";
  ASSERT_EQ(0, e2e::RunProgram(installer, L"/s /log:" + TempFolder() + L"lum_tray_first.log"));
  const std::wstring dir = DefaultInstallDir();
  const std::wstring record = TempFolder() + L"tray_service_reinstall.txt";
  DeleteFileW(record.c_str());
  Started service(dir + L"\\safemon\\ZVTrayService.exe", L"/record:" + record);
  ASSERT_TRUE(WaitForPipe(L"\\\\.\\pipe\\" + tray::ServicePipeName(tray::SystemVolumeSerial())));
  Started monitor(dir + L"\\safemon\\ZVSafeTray.exe", L"/start");
  ASSERT_TRUE(WaitForWindow(L"ZLumSafeMonClass"));

  ASSERT_EQ(0, e2e::RunProgram(installer, L"/s /log:" + log));
  const std::wstring text = e2e::ReadText(log);
  const std::string seen = Record(record);
  EXPECT_TRUE(Has(seen, "callback TestValueClient(42)=42 GetTrayData=[]")) << seen;
  EXPECT_TRUE(Has(seen, "class=ZLumSafeMonClass msg=74 code=45584954 delivered=1")) << seen;
  EXPECT_TRUE(Has(seen, "stopService\r\nstopped")) << seen;
  EXPECT_EQ(0, monitor.EndedWithin(0));
  EXPECT_EQ(0, service.EndedWithin(0));
  // The monitor left by itself, so nothing had to end it. (After the stop
  // request the installer waits only for the protection service's own
  // program; this separate stand-in may still be on its way out when the
  // install folder's processes are ended.) Both files were copied in place
  // rather than scheduled for the restart.
  EXPECT_EQ(std::wstring::npos, text.find(L"end process | " + std::to_wstring(monitor.Id()) + L" "))
      << text;
  EXPECT_EQ(std::wstring::npos,
            text.find(L"end process under install folder | " + dir + L"\\safemon\\ZVSafeTray.exe"))
      << text;
  for (const wchar_t* file : {L"safemon\\ZVSafeTray.exe", L"safemon\\ZVTrayService.exe"}) {
    EXPECT_EQ(std::wstring::npos, text.find(L"destination in use | " + dir + L"\\" + file)) << text;
    EXPECT_NE(std::wstring::npos, text.find(L"copy file | " + dir + L"\\" + file + L" | 0")) << text;
  }
  EXPECT_NE(std::wstring::npos, text.find(L"monitor exit broadcast through the tray service | "
                                          L"ZLumSafeMonClass | 0"))
      << text;
  EXPECT_NE(std::wstring::npos, text.find(L"stop request through the tray service | "
                                          L"ZVActiveDefense | 0"))
      << text;
}

}  // namespace
}  // namespace lum
