// The tray service link against the stand-in tray service on real named
// pipes: no service at all, another program serving the service's pipe,
// registration with the callback round trip, program starts, the
// monitor-exit broadcast and the service stop; then a silent reinstall over
// a running product, whose monitor and service leave when asked so that
// their files are replaced in place; last, the installed service answering
// with a length of 2 GB.
//
// The tests build on each other's machine state, so they run in order.
#include <gtest/gtest.h>
#include <windows.h>
// psapi.h builds on windows.h.
#include <psapi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "app/session_environment_win.h"
#include "base/install_log.h"
#include "base/text.h"
#include "install/trusted_launch_win.h"
#include "system/file_ops_win.h"
#include "system/product_location_win.h"
#include "system/registry_win.h"
#include "system/win_handle_win.h"
#include "tests/e2e/e2e_support.h"
#include "tray/launch_rules.h"
#include "tray/pipe_names.h"
#include "tray/product_start_win.h"
#include "tray/session_processes_win.h"
#include "tray/tray_link_win.h"
#include "tray/tray_requests_win.h"
#include "tray/volume_serial_win.h"
#include "vendor/base_module_win.h"
#include "vendor/product_modules_win.h"

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

// The peak of this process's memory. Wine's PeakPagefileUsage is the
// current figure, not a peak (and PrivateUsage is 0); its PeakWorkingSetSize
// is a true peak, and every page a string is filled with counts in it.
SIZE_T PeakMemoryBytes() {
  PROCESS_MEMORY_COUNTERS counters = {};
  counters.cb = sizeof(counters);
  if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters))) return 0;
  return std::max(counters.PeakPagefileUsage, counters.PeakWorkingSetSize);
}

// The App Paths record that names the install folder, for as long as it
// lives: gone again afterwards, so that no later install takes the build's
// folder for an installed product.
class ProductFolderRecord {
 public:
  explicit ProductFolderRecord(const std::wstring& folder) {
    RegKey key;
    written_ = key.Create(HKEY_LOCAL_MACHINE, kMainProgramAppPathsKey, KEY_SET_VALUE, RegView::k32) &&
               key.WriteString(L"Path", folder);
  }
  ~ProductFolderRecord() { RegKey::DeleteTree(HKEY_LOCAL_MACHINE, kMainProgramAppPathsKey, RegView::k32); }
  bool Written() const { return written_; }

 private:
  bool written_ = false;
};

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
    // The trusted-image test asks the base module, which this (elevated)
    // process loads only from a folder it made for SYSTEM and the
    // Administrators, as the installer does.
    const std::wstring build = BuildDir();
    const std::wstring folder = TempFolder() + L"lum_tray_base_" + std::to_wstring(GetTickCount());
    if (!build.empty() && CreateProtectedFolder(folder) &&
        CopyFileW((build + L"\\product\\Lumbase.dll").c_str(), (folder + L"\\Lumbase.dll").c_str(),
                  TRUE))
      LoadBaseModule(folder + L"\\Lumbase.dll");
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
  ASSERT_TRUE(StartTrayLink(IsTrustedImage));
  EXPECT_EQ(tray::kTrayTransportError, tray::Connect());
  EXPECT_EQ(kTrayNotConnected, BroadcastMonitorExit());
  EXPECT_EQ(kTrayNotConnected, StopService());
  EXPECT_EQ(kTrayNotConnected,
            tray::LaunchInUserSession(WTSGetActiveConsoleSessionId(), Product(L"Repair.exe"), L""));

  // The interactive finish: no service, so the installer starts the program
  // itself, with the user's rights and never its own elevated token.
  const std::wstring starts = Product(L"ZVSafeMain.starts");
  DeleteFileW(starts.c_str());
  EXPECT_TRUE(StartInstalledProduct(build_ + L"\\product"));
  EXPECT_NE(std::wstring::npos,
            Lines().find(L"start at medium integrity | \"" + Product(L"ZVSafeMain.exe") +
                         L"\" /install | 0"))
      << Lines();
  EXPECT_TRUE(WaitForWindow(L"ZLumSafeMainClass"));
  DWORD ownSession = 0;
  ProcessIdToSessionId(GetCurrentProcessId(), &ownSession);
  // Wine keeps integrity labels off (every token reads 0x3000 whatever was
  // set), so the level itself is seen only on Windows; the token's elevation,
  // its Administrators group and the session are Wine's to show.
  const std::string facts = Record(starts);
  EXPECT_TRUE(Has(facts, "ZVSafeMain.exe\" /install |elevated=0 admin=0 integrity=")) << facts;
  EXPECT_TRUE(Has(facts, " session=" + std::to_string(ownSession) + "\r\n")) << facts;
  if (HWND main = FindWindowW(L"ZLumSafeMainClass", nullptr)) PostMessageW(main, WM_CLOSE, 0, 0);
}

TEST_F(TrayLinkE2eTest, AnotherProgramServingTheServicePipeIsRefusedAndHearsNothing) {
  // Before the service runs, a local user's program takes the pipe name: a
  // copy of the service program itself (signed, so the file is trusted) run
  // from a folder that is not the install folder, as a raw peer that counts
  // the bytes it gets.
  ASSERT_TRUE(BaseModuleLoaded());
  ProductFolderRecord installed(build_ + L"\\product");
  ASSERT_TRUE(installed.Written());
  const std::wstring elsewhere = TempFolder() + L"lum_squatter";
  CreateDirectoryW(elsewhere.c_str(), nullptr);
  CreateDirectoryW((elsewhere + L"\\safemon").c_str(), nullptr);
  const std::wstring copy = elsewhere + L"\\safemon\\ZVTrayService.exe";
  ASSERT_TRUE(CopyFileW(Product(L"safemon\\ZVTrayService.exe").c_str(), copy.c_str(), FALSE));
  const std::wstring record = TempFolder() + L"tray_squatter_record.txt";
  DeleteFileW(record.c_str());
  Started squatter(copy, L"/peer:count /record:" + record);
  const std::wstring pipe = L"\\\\.\\pipe\\" + tray::ServicePipeName(tray::SystemVolumeSerial());
  ASSERT_TRUE(WaitForPipe(pipe));

  ReleaseTrayLink();
  ASSERT_TRUE(StartTrayLink(IsTrustedImage));
  EXPECT_EQ(tray::kTrayTransportError, tray::Connect());
  EXPECT_FALSE(tray::LinkConnected());
  EXPECT_NE(std::wstring::npos,
            Lines().find(L"tray service pipe refused: served by " + copy + L", not the service of " +
                         build_ + L"\\product"))
      << Lines();
  EXPECT_EQ(0, squatter.EndedWithin(15000));
  EXPECT_TRUE(Has(Record(record), "client connected\r\nreceived 0 bytes")) << Record(record);
  ReleaseTrayLink();
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
  // The service program of the install folder (App Paths names the build's
  // product folder), trusted by the base module.
  ProductFolderRecord installed(build_ + L"\\product");
  ASSERT_TRUE(installed.Written());
  ReleaseTrayLink();
  ASSERT_TRUE(StartTrayLink(IsTrustedImage));

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

  // The service stops itself when asked, and the link is released with it.
  EXPECT_EQ(tray::kTraySuccess, StopService());
  EXPECT_FALSE(tray::LinkConnected());
  EXPECT_EQ(0, service.EndedWithin(10000));
  EXPECT_TRUE(Has(Record(record), "stopService\r\nstopped")) << Record(record);
  EXPECT_EQ(kTrayNotConnected, BroadcastMonitorExit());

  // The service comes back (the install brings it up again): the product
  // start after the install registers anew and goes through it.
  const std::wstring again = TempFolder() + L"tray_service_again.txt";
  DeleteFileW(again.c_str());
  Started restarted(Product(L"safemon\\ZVTrayService.exe"), L"/record:" + again);
  ASSERT_TRUE(WaitForPipe(L"\\\\.\\pipe\\" + servicePipe));
  EXPECT_TRUE(StartInstalledProduct(build_ + L"\\product"));
  seen = Record(again);
  EXPECT_TRUE(Has(seen, "RegisterClient pipe=")) << seen;
  EXPECT_TRUE(Has(seen, "ZVSafeMain.exe\" /install integrity=")) << seen;
  EXPECT_TRUE(Has(seen, " answer=1")) << seen;
  if (HWND main = FindWindowW(L"ZLumSafeMainClass", nullptr)) PostMessageW(main, WM_CLOSE, 0, 0);
  EXPECT_EQ(tray::kTraySuccess, StopService());
  EXPECT_EQ(0, restarted.EndedWithin(10000));
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
  // rather than scheduled for the restart (renamed in from the work folder).
  EXPECT_EQ(std::wstring::npos, text.find(L"end process | " + std::to_wstring(monitor.Id()) + L" "))
      << text;
  EXPECT_EQ(std::wstring::npos,
            text.find(L"end process under install folder | " + dir + L"\\safemon\\ZVSafeTray.exe"))
      << text;
  for (const wchar_t* file : {L"safemon\\ZVSafeTray.exe", L"safemon\\ZVTrayService.exe"}) {
    EXPECT_EQ(std::wstring::npos, text.find(L"destination in use | " + dir + L"\\" + file)) << text;
    EXPECT_NE(std::wstring::npos, text.find(L"move file in | " + dir + L"\\" + file + L" | 0")) << text;
  }
  EXPECT_NE(std::wstring::npos, text.find(L"monitor exit broadcast through the tray service | "
                                          L"ZLumSafeMonClass | 0"))
      << text;
  EXPECT_NE(std::wstring::npos, text.find(L"stop request through the tray service | "
                                          L"ZVActiveDefense | 0"))
      << text;
}


TEST_F(TrayLinkE2eTest, ServiceAnswerAnnouncingTwoGigabytesEndsTheLinkWithoutAllocatingThem) {
  // The installed service program itself, as a raw peer whose answer to the
  // registration announces a string of 2 GB.
  ASSERT_TRUE(BaseModuleLoaded());
  const std::wstring dir = DefaultInstallDir();
  ASSERT_EQ(dir, ReadProductFolder());
  const std::wstring record = TempFolder() + L"tray_huge_record.txt";
  DeleteFileW(record.c_str());
  Started peer(dir + L"\\safemon\\ZVTrayService.exe", L"/peer:huge /record:" + record);
  ASSERT_TRUE(WaitForPipe(L"\\\\.\\pipe\\" + tray::ServicePipeName(tray::SystemVolumeSerial())));

  ReleaseTrayLink();
  ASSERT_TRUE(StartTrayLink(IsTrustedImage));
  const SIZE_T before = PeakMemoryBytes();
  const auto t0 = std::chrono::steady_clock::now();
  EXPECT_EQ(tray::kTrayTransportError, tray::Connect());
  const double ms =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
  const SIZE_T after = PeakMemoryBytes();
  std::printf("[figure] 2 GB answer: -4 after %.1f ms, peak memory %.1f -> %.1f MB\n", ms,
              static_cast<double>(before) / (1 << 20), static_cast<double>(after) / (1 << 20));
  EXPECT_NE(0u, after);
  EXPECT_LT(after - before, SIZE_T{16} << 20);
  EXPECT_LT(ms, 5000.0);  // refused on the announcement, not after the call's deadline
  EXPECT_NE(std::wstring::npos,
            Lines().find(L"tray service pipe served by " + dir + L"\\safemon\\ZVTrayService.exe"))
      << Lines();
  EXPECT_NE(std::wstring::npos, Lines().find(L"tray service not reached: ")) << Lines();
  EXPECT_EQ(0, peer.EndedWithin(15000));
  EXPECT_TRUE(Has(Record(record), "answered 2 GB")) << Record(record);
  ReleaseTrayLink();
}

TEST_F(TrayLinkE2eTest, LinksOpenThroughTheInstalledUtilityModule) {
  // The installed product of the reinstall above: its utility module opens
  // links for the user (the stand-in records them and opens only web links).
  ASSERT_TRUE(BaseModuleLoaded());
  const std::wstring dir = DefaultInstallDir();
  ASSERT_EQ(dir, ReadProductFolder());
  const std::wstring calls = dir + L"\\Lumutil.calls";
  DeleteFileW(calls.c_str());
  EXPECT_TRUE(OpenLinkWithLoweredRights(L"https://example.invalid/ref?mid=1&ch=2"));
  EXPECT_FALSE(OpenLinkWithLoweredRights(L"C:\\not-a-page.exe"));
  EXPECT_EQ(
      "OpenLink verb=open file=https://example.invalid/ref?mid=1&ch=2 show=1\r\n"
      "OpenLink verb=open file=C:\\not-a-page.exe show=1\r\n",
      Record(calls));
  const std::wstring lines = Lines();
  const size_t verified = lines.find(L"verify file: trusted, kind 1 | " + dir + L"\\Lumutil.dll");
  const size_t bound = lines.find(L"bind utility module | " + dir + L"\\Lumutil.dll | 0");
  ASSERT_NE(std::wstring::npos, verified) << lines;
  EXPECT_LT(verified, bound) << lines;
}

}  // namespace
}  // namespace lum
