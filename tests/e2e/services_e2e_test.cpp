// The product's services and drivers after a silent install on the default
// (Windows 7, 64-bit) prefix: the active-defense service registered, running
// and ready, the driver pass's modules called or skipped as this Windows
// needs, a reinstall over the running product, a readiness that never comes,
// the self-protection tool's refusal, and a reinstall over an earlier build of
// the product's file module. The silent handler's answer to a
// session end is checked on the way (first install and reinstall).
//
// The tests build on each other's machine state, so they run in order.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "base/text.h"
#include "install/process_termination_win.h"
#include "system/file_ops_win.h"
#include "system/product_location_win.h"
#include "system/registry_win.h"
#include "tests/e2e/e2e_support.h"
#include "tests/e2e/service_support.h"

namespace lum {
namespace {

using namespace e2e;

constexpr const wchar_t* kReadyMutex = L"Global\\080F7E03-AC50-4949-AACA-E79F82D3099F__";
constexpr const wchar_t* kAdKey = L"SYSTEM\\CurrentControlSet\\Services\\ZVActiveDefense";
constexpr DWORD kSpToolRefusal = 47114;

// A file of the build folder (LUM_BUILD_DIR); empty when it is not set.
std::wstring Built(const wchar_t* relative) {
  wchar_t build[1024] = {};
  const DWORD n = GetEnvironmentVariableW(L"LUM_BUILD_DIR", build, 1023);
  if (n == 0 || n >= 1023) return std::wstring();
  return std::wstring(build) + L"\\" + relative;
}

class ServicesE2eTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { installDir_ = DefaultInstallDir(); }
  void SetUp() override {
    installer_ = InstallerPath();
    if (installer_.empty()) GTEST_SKIP() << "LUM_INSTALLER is not set";
    log_ = TempFolder() + L"lum_services_e2e.log";
    result_ = TempFolder() + L"lum_services_e2e.json";
    DeleteFileW(log_.c_str());
  }
  std::wstring Args() const { return L"/s /BNinstall /log:" + log_ + L" /result:" + result_; }
  int Install() { return RunProgram(installer_, Args()); }
  std::wstring Log() const { return ReadText(log_); }
  std::string Result() const { return ReadBytes(result_); }
  std::wstring In(const std::wstring& relative) const { return installDir_ + L"\\" + relative; }

  // Runs the installer and asks its hidden window whether the session may
  // end, while it works; the answer, or -1 when no window was found.
  int InstallAskingSessionEnd(LRESULT* answer) {
    RunningInstaller run(installer_, Args());
    EXPECT_TRUE(run.Started());
    *answer = -1;
    if (HWND window = run.SilentWindow(120000)) {
      DWORD_PTR reply = 0;
      if (SendMessageTimeoutW(window, WM_QUERYENDSESSION, 0, 0, SMTO_BLOCK, 10000, &reply))
        *answer = static_cast<LRESULT>(reply);
    }
    return run.Wait(600000);
  }

  static std::wstring installDir_;
  std::wstring installer_, log_, result_;
};
std::wstring ServicesE2eTest::installDir_;

TEST_F(ServicesE2eTest, FirstInstallRegistersAndRunsActiveDefenseAndCallsTheDriverModules) {
  LRESULT sessionEnd = -1;
  ASSERT_EQ(0, InstallAskingSessionEnd(&sessionEnd)) << WideToUtf8(Log());
  EXPECT_EQ(TRUE, sessionEnd) << "a first install lets the session end";
  const std::wstring log = Log();

  // The record, exactly as written.
  EXPECT_EQ(L"Lum Bastion", RegString(HKEY_LOCAL_MACHINE, kAdKey, L"DisplayName"));
  EXPECT_EQ(1u, RegDword(HKEY_LOCAL_MACHINE, kAdKey, L"ErrorControl"));
  EXPECT_EQ(L"TDI", RegString(HKEY_LOCAL_MACHINE, kAdKey, L"Group"));
  EXPECT_EQ(L"\"" + In(L"safemon\\ZVActiveDefense.exe") + L"\"",
            RegString(HKEY_LOCAL_MACHINE, kAdKey, L"ImagePath"));
  EXPECT_EQ(2u, RegDword(HKEY_LOCAL_MACHINE, kAdKey, L"Start"));
  EXPECT_EQ(16u, RegDword(HKEY_LOCAL_MACHINE, kAdKey, L"Type"));
  EXPECT_EQ(L"LocalSystem", RegString(HKEY_LOCAL_MACHINE, kAdKey, L"ObjectName"));
  // Running, confirmed by its mutex, started by the installer with "install".
  EXPECT_EQ(static_cast<DWORD>(SERVICE_RUNNING), ServiceState(L"ZVActiveDefense"));
  EXPECT_TRUE(MutexExists(kReadyMutex));
  EXPECT_EQ(L"-;", Calls(L"safemon\\ZVActiveDefense.exe!/install"));
  EXPECT_EQ(0u, Calls(L"safemon\\ZVActiveDefense.exe!service").find(L"install;"));
  EXPECT_EQ(L"", Calls(L"safemon\\ZVWatchdog.exe!/install")) << "no fallback was needed";
  EXPECT_NE(std::string::npos, Result().find("\"rebootRequired\":false")) << Result();
  EXPECT_NE(std::wstring::npos, log.find(L"active defense is running")) << WideToUtf8(log);
  EXPECT_EQ(std::wstring::npos, log.find(L"did not start within 5 s"));

  // Windows 7 x64: the drivers are supported, the 32-bit loader is not for
  // this system, the sandbox gets its 64-bit entry.
  EXPECT_EQ(L"-;", Calls(L"ipc\\DrvUtility.dll!InstallDriverForLumSafeSetup"));
  EXPECT_EQ(L"0;", Calls(L"filemon\\LumAvFlt.dll!Install"));
  EXPECT_EQ(L"", Calls(L"deepscan\\qutmload.dll!SetupInstall"));
  EXPECT_NE(std::wstring::npos, log.find(L"module 3 SetupInstall: not for this Windows"));
  EXPECT_NE(std::wstring::npos, log.find(L"module 4 SetupInstall"));
  EXPECT_EQ(L"-;", Calls(L"netmon\\Lumnetctrl.dll!DllRegisterServer"));
  EXPECT_EQ(L"-;", Calls(L"ipc\\sbmon.dll!InstallEx64"));
  EXPECT_EQ(L"", Calls(L"ipc\\sbmon.dll!InstallEx32"));
  for (const wchar_t* driver : {L"LumAvFlt", L"Lumnetmon"})
    EXPECT_EQ(3u, RegDword(HKEY_LOCAL_MACHINE, std::wstring(L"SYSTEM\\CurrentControlSet\\Services\\") + driver,
                           L"Start")) << driver;
  const std::wstring safemon = L"SOFTWARE\\LumSafe\\safemon";
  EXPECT_EQ(1u, RegDword(HKEY_LOCAL_MACHINE, safemon, L"SB_State"));
  EXPECT_EQ(0u, RegDword(HKEY_LOCAL_MACHINE, safemon, L"SB_Entry_Known"));
  EXPECT_EQ(1u, RegDword(HKEY_LOCAL_MACHINE, safemon, L"SB_RightMenu"));
  EXPECT_EQ(In(L"SoftMgr\\LumSoftMgrS.dll"),
            RegString(HKEY_LOCAL_MACHINE, L"Software\\Lumsafe\\Lumkrnlsvc\\softmgrs", L"ImagePath"));
  EXPECT_EQ(L"safemon\\Lumbsmon.tpi",
            RegString(HKEY_LOCAL_MACHINE, L"Software\\LumBastion\\srvtpi\\Lumbsmon", L"ImagePath"));
  EXPECT_EQ(1u, RegDword(HKEY_LOCAL_MACHINE, L"Software\\LumBastion\\srvtpi\\Lumbsmon", L"StartType"));
  EXPECT_EQ(0u, RegDword(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\QualityCompat",
                         L"cadca5fe-87d3-4b96-b7fb-a231484277cc", 0xDEAD, RegView::k64));

  // Windows 7: no protected service.
  EXPECT_FALSE(RegKey::Exists(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Services\\ZVProtected"));
  EXPECT_EQ(L"", Calls(L"safemon\\WscReg.exe!/installsrv"));
}

TEST_F(ServicesE2eTest, ReinstallOverTheRunningProductReplacesItsServiceCleanly) {
  ASSERT_EQ(static_cast<DWORD>(SERVICE_RUNNING), ServiceState(L"ZVActiveDefense"))
      << "needs the first install";
  const std::wstring program = In(L"safemon\\ZVActiveDefense.exe");
  const std::string shipped = ReadBytes(program);
  {
    // An older build of the service runs: stop it, change its file, start it
    // again from the changed file.
    UniqueScHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    UniqueScHandle service(OpenServiceW(manager.Get(), L"ZVActiveDefense", SERVICE_ALL_ACCESS));
    ASSERT_TRUE(service.Valid());
    SERVICE_STATUS status = {};
    ASSERT_TRUE(ControlService(service.Get(), SERVICE_CONTROL_STOP, &status));
    for (int i = 0; i < 100 && ServiceState(L"ZVActiveDefense") != SERVICE_STOPPED; ++i) Sleep(100);
    UniqueFileHandle file(CreateFileW(program.c_str(), FILE_APPEND_DATA, 0, nullptr, OPEN_EXISTING,
                                      0, nullptr));
    ASSERT_TRUE(file.Valid());
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(file.Get(), "older", 5, &written, nullptr));
    file.Reset();
    ASSERT_TRUE(StartServiceW(service.Get(), 0, nullptr));
    // The old product's service, which the new one replaces.
    UniqueScHandle old(CreateServiceW(manager.Get(), L"ZVService", L"ZVService", SERVICE_ALL_ACCESS,
                                      SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START,
                                      SERVICE_ERROR_IGNORE, L"C:\\windows\\system32\\notepad.exe",
                                      nullptr, nullptr, nullptr, nullptr, nullptr));
    ASSERT_TRUE(old.Valid());
  }
  // The installed file module is an earlier build; the reinstall loads it to
  // remove engine files, and its driver pass must then call the new build.
  const std::wstring module = In(L"deepscan\\BAPI.dll");
  ASSERT_TRUE(CopyFileW(Built(L"product-previous\\deepscan\\BAPI.dll").c_str(), module.c_str(), FALSE));
  DeleteFileW(In(L"deepscan\\BAPI.calls").c_str());
  for (int i = 0; i < 100 && !MutexExists(kReadyMutex); ++i) Sleep(100);
  DWORD oldPid = 0;
  ASSERT_TRUE(FindProcess(L"ZVActiveDefense.exe", &oldPid));
  {
    RegKey key;
    ASSERT_TRUE(key.Open(HKEY_LOCAL_MACHINE, kAdKey, KEY_SET_VALUE));
    ASSERT_TRUE(key.WriteDword(L"LaunchProtected", 3));
    ASSERT_TRUE(key.WriteDword(L"DeleteFlag", 1));
    ASSERT_TRUE(key.WriteString(L"DisplayName", L"older name"));
    RegKey filter;
    ASSERT_TRUE(filter.Open(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Services\\LumAvFlt",
                            KEY_SET_VALUE));
    ASSERT_TRUE(filter.WriteDword(L"DeleteFlag", 1));
    ASSERT_TRUE(filter.WriteDword(L"Start", 4));
  }
  ForgetCalls();

  LRESULT sessionEnd = -1;
  ASSERT_EQ(0, InstallAskingSessionEnd(&sessionEnd)) << WideToUtf8(Log());
  EXPECT_EQ(FALSE, sessionEnd) << "a silent reinstall holds off the session end";
  const std::wstring log = Log();

  EXPECT_EQ(0u, ServiceState(L"ZVService"));
  EXPECT_EQ(L"Lum Bastion", RegString(HKEY_LOCAL_MACHINE, kAdKey, L"DisplayName"));
  RegKey key;
  ASSERT_TRUE(key.Open(HKEY_LOCAL_MACHINE, kAdKey, KEY_QUERY_VALUE));
  EXPECT_FALSE(key.HasValue(L"LaunchProtected"));
  EXPECT_EQ(0u, RegDword(HKEY_LOCAL_MACHINE, kAdKey, L"DeleteFlag", 0));
  EXPECT_EQ(3u, RegDword(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Services\\LumAvFlt", L"Start"));
  EXPECT_EQ(0u, RegDword(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Services\\LumAvFlt",
                         L"DeleteFlag", 0));

  // The old process was gone before the files were placed, so its changed
  // file was replaced at once, not at the next restart.
  const size_t exited = log.find(L"active defense has exited");
  const size_t placed = log.find(L"place files (");
  ASSERT_NE(std::wstring::npos, exited) << WideToUtf8(log);
  ASSERT_NE(std::wstring::npos, placed);
  EXPECT_LT(exited, placed);
  EXPECT_EQ(shipped, ReadBytes(program));
  const std::wstring moduleCalls = ReadText(In(L"deepscan\\BAPI.calls"));
  EXPECT_EQ(1u, Count(moduleCalls, L"Install 0")) << "the earlier build removed the engine files";
  EXPECT_EQ(1u, Count(moduleCalls, L"SetupInstall build 2")) << WideToUtf8(moduleCalls);
  EXPECT_EQ(0u, Count(moduleCalls, L"SetupInstall build 1")) << WideToUtf8(moduleCalls);
  EXPECT_EQ(ReadBytes(Built(L"product\\deepscan\\BAPI.dll")), ReadBytes(module));
  EXPECT_NE(std::string::npos, Result().find("\"rebootRequired\":false")) << Result();
  DWORD newPid = 0;
  ASSERT_TRUE(FindProcess(L"ZVActiveDefense.exe", &newPid));
  EXPECT_NE(oldPid, newPid);
  EXPECT_EQ(static_cast<DWORD>(SERVICE_RUNNING), ServiceState(L"ZVActiveDefense"));
  EXPECT_TRUE(MutexExists(kReadyMutex));
}

TEST_F(ServicesE2eTest, ReadinessThatNeverComesStartsTheWatchdogOnceAndNeedsARestart) {
  ASSERT_TRUE(SetStandInSwitch(L"ActiveDefenseWithoutReadiness", 1));
  ForgetCalls();
  ASSERT_EQ(0, Install()) << WideToUtf8(Log());
  ClearStandInSwitch(L"ActiveDefenseWithoutReadiness");
  EXPECT_EQ(L"-;", Calls(L"safemon\\ZVWatchdog.exe!/install"));
  EXPECT_FALSE(MutexExists(kReadyMutex));
  EXPECT_NE(std::string::npos, Result().find("\"rebootRequired\":true")) << Result();
  EXPECT_NE(std::wstring::npos, Log().find(L"active defense not confirmed"));
}

TEST_F(ServicesE2eTest, SelfProtectionToolDecidesWhetherASilentReinstallRuns) {
  ASSERT_TRUE(FileExists(In(L"safemon\\LumSPTool.exe"))) << "needs the first install";
  // A self-protection driver that does not vouch for the installer: the
  // device opens but cannot answer the query. Wine resolves "\\.\<name>"
  // through the prefix's "dosdevices" folder, where a plain file stands in.
  wchar_t prefix[MAX_PATH] = {};
  const DWORD length = GetEnvironmentVariableW(L"WINEPREFIX", prefix, MAX_PATH);
  ASSERT_TRUE(length > 0 && length < MAX_PATH && prefix[0] == L'/') << "needs Wine";
  std::wstring device = L"Z:" + std::wstring(prefix) + L"/dosdevices/lumselfprotection";
  for (wchar_t& c : device)
    if (c == L'/') c = L'\\';
  {
    UniqueFileHandle file(CreateFileW(device.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0,
                                      nullptr));
    ASSERT_TRUE(file.Valid()) << WideToUtf8(device);
  }

  ASSERT_TRUE(SetStandInSwitch(L"SelfProtectionToolExit", kSpToolRefusal));
  ForgetCalls();
  EXPECT_EQ(114, Install()) << WideToUtf8(Log());
  EXPECT_EQ(L"3;", Calls(L"safemon\\LumSPTool.exe!/disablesp"));
  EXPECT_EQ(L"", Calls(L"ipc\\DrvUtility.dll!InstallDriverForLumSafeSetup")) << "nothing ran";

  ASSERT_TRUE(SetStandInSwitch(L"SelfProtectionToolExit", 5));  // any other code lets it run
  ForgetCalls();
  EXPECT_EQ(0, Install()) << WideToUtf8(Log());
  EXPECT_EQ(L"3;", Calls(L"safemon\\LumSPTool.exe!/disablesp"));
  EXPECT_EQ(L"-;", Calls(L"ipc\\DrvUtility.dll!InstallDriverForLumSafeSetup"));
  ClearStandInSwitch(L"SelfProtectionToolExit");
  DeleteFileW(device.c_str());
}

}  // namespace
}  // namespace lum
