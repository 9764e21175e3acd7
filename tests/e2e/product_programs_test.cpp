// The stand-in product's programs, as the installer meets them: windows that
// close cleanly, the active-defense service and its readiness mutex, the
// version resource, the build's signature, and the uninstaller's exit code.
//
// LUM_BUILD_DIR names the win32 build folder (Windows path); the programs are
// under its "product" folder in their install layout.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "system/win_handle_win.h"

namespace lum {
namespace {

constexpr wchar_t kReadyMutex[] = L"Global\\080F7E03-AC50-4949-AACA-E79F82D3099F__";

std::wstring ProductFile(const wchar_t* rel) {
  wchar_t value[1024] = {};
  const DWORD length = GetEnvironmentVariableW(L"LUM_BUILD_DIR", value, 1023);
  if (length == 0 || length >= 1023) return std::wstring();
  return std::wstring(value, length) + L"\\product\\" + rel;
}

// A started program; one that is still running when the test ends is ended,
// so that a failed test leaves nothing behind in the prefix.
struct Started {
  UniqueHandle process;
  DWORD threadId = 0;
  Started() = default;
  Started(Started&&) = default;
  ~Started() {
    if (process && WaitForSingleObject(process.Get(), 0) == WAIT_TIMEOUT) {
      TerminateProcess(process.Get(), 1);
      WaitForSingleObject(process.Get(), 5000);
    }
  }
};

Started Start(const std::wstring& exe, const std::wstring& args) {
  std::wstring line = L"\"" + exe + L"\" " + args;
  std::vector<wchar_t> buffer(line.begin(), line.end());
  buffer.push_back(L'\0');
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info = {};
  Started started;
  if (CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                     &startup, &info)) {
    started.process.Reset(info.hProcess);
    UniqueHandle thread(info.hThread);
    started.threadId = info.dwThreadId;
  }
  return started;
}

// Exit code, or -1 when the process did not end within `ms`.
long WaitExit(const UniqueHandle& process, DWORD ms) {
  if (WaitForSingleObject(process.Get(), ms) != WAIT_OBJECT_0) return -1;
  DWORD code = 0;
  GetExitCodeProcess(process.Get(), &code);
  return static_cast<long>(code);
}

long RunToEnd(const std::wstring& exe, const std::wstring& args) {
  Started s = Start(exe, args);
  if (!s.process) return -2;
  return WaitExit(s.process, 30000);
}

HWND WaitForWindow(const wchar_t* cls) {
  for (int i = 0; i < 200; ++i) {
    if (HWND wnd = FindWindowW(cls, nullptr)) return wnd;
    Sleep(50);
  }
  return nullptr;
}

bool MutexExists(const wchar_t* name) {
  UniqueHandle m(OpenMutexW(SYNCHRONIZE, FALSE, name));
  return m.Valid();
}

TEST(ProductPrograms, MainProgramShowsItsWindowAndEndsOnClose) {
  Started main = Start(ProductFile(L"ZVSafeMain.exe"), L"/install");
  ASSERT_TRUE(main.process);
  HWND wnd = WaitForWindow(L"ZLumSafeMainClass");
  ASSERT_NE(wnd, nullptr);
  // Found as soon as it exists; shown a moment later.
  for (int i = 0; i < 100 && !IsWindowVisible(wnd); ++i) Sleep(50);
  EXPECT_TRUE(IsWindowVisible(wnd));
  EXPECT_EQ(WaitExit(main.process, 300), -1) << "ended before it was told to";
  PostMessageW(wnd, WM_CLOSE, 0, 0);
  EXPECT_EQ(WaitExit(main.process, 10000), 0);
}

TEST(ProductPrograms, TrayAnswersTheMonitorMessageAndEndsOnQuit) {
  Started tray = Start(ProductFile(L"safemon\\ZVSafeTray.exe"), L"/start");
  ASSERT_TRUE(tray.process);
  HWND wnd = WaitForWindow(L"ZLumSafeMonClass");
  ASSERT_NE(wnd, nullptr);
  EXPECT_FALSE(IsWindowVisible(wnd));
  // Only the installer's identification is acknowledged.
  DWORD_PTR answer = 0;
  ASSERT_NE(SendMessageTimeoutW(wnd, 0x416, 206, 0x4C554D49, SMTO_ABORTIFHUNG, 1000, &answer), 0);
  EXPECT_EQ(answer, 1u);
  ASSERT_NE(SendMessageTimeoutW(wnd, 0x416, 206, 0, SMTO_ABORTIFHUNG, 1000, &answer), 0);
  EXPECT_EQ(answer, 0u);
  ASSERT_TRUE(PostThreadMessageW(tray.threadId, WM_QUIT, 0, 0));
  EXPECT_EQ(WaitExit(tray.process, 10000), 0);
}

TEST(ProductPrograms, ActiveDefenseRunsByHandHoldingTheReadinessMutex) {
  ASSERT_FALSE(MutexExists(kReadyMutex));
  Started ad = Start(ProductFile(L"safemon\\ZVActiveDefense.exe"), L"/run");
  ASSERT_TRUE(ad.process);
  HWND wnd = WaitForWindow(L"ZLumActiveDefenseClass");
  ASSERT_NE(wnd, nullptr);
  EXPECT_TRUE(MutexExists(kReadyMutex));
  PostMessageW(wnd, WM_CLOSE, 0, 0);
  EXPECT_EQ(WaitExit(ad.process, 10000), 0);
  EXPECT_FALSE(MutexExists(kReadyMutex));
}

// Closes a service-manager handle when it leaves scope.
struct ScCloser {
  SC_HANDLE h;
  ~ScCloser() {
    if (h) CloseServiceHandle(h);
  }
};

TEST(ProductPrograms, ActiveDefenseInstallRegistersTheKeyTheInstallerWroteAndRunsAsService) {
  const std::wstring exe = ProductFile(L"safemon\\ZVActiveDefense.exe");
  EXPECT_EQ(RunToEnd(exe, L"/install"), static_cast<long>(ERROR_SERVICE_DOES_NOT_EXIST));

  // The installer writes the key directly; the running service manager does
  // not read keys, so "/install" must make it learn of the service.
  const std::wstring image = L"\"" + exe + L"\"";
  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE,
                                           L"SYSTEM\\CurrentControlSet\\services\\ZVActiveDefense", 0,
                                           nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr));
  const DWORD values[3] = {SERVICE_DEMAND_START, SERVICE_WIN32_OWN_PROCESS, SERVICE_ERROR_NORMAL};
  const wchar_t* names[3] = {L"Start", L"Type", L"ErrorControl"};
  for (int i = 0; i < 3; ++i)
    RegSetValueExW(key, names[i], 0, REG_DWORD, reinterpret_cast<const BYTE*>(&values[i]), 4);
  RegSetValueExW(key, L"ImagePath", 0, REG_SZ, reinterpret_cast<const BYTE*>(image.c_str()),
                 static_cast<DWORD>((image.size() + 1) * sizeof(wchar_t)));
  RegSetValueExW(key, L"DisplayName", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"Lum Bastion"),
                 12 * sizeof(wchar_t));
  RegCloseKey(key);
  ScCloser manager{OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS)};
  ASSERT_NE(manager.h, nullptr);
  EXPECT_EQ(OpenServiceW(manager.h, L"ZVActiveDefense", SERVICE_ALL_ACCESS), nullptr);
  EXPECT_EQ(RunToEnd(exe, L"/install"), 0);
  ScCloser service{OpenServiceW(manager.h, L"ZVActiveDefense", SERVICE_ALL_ACCESS)};
  ASSERT_NE(service.h, nullptr);
  EXPECT_EQ(RunToEnd(exe, L"/install"), 0) << "a known service is brought in line, not refused";

  const wchar_t* args[] = {L"install"};
  ASSERT_TRUE(StartServiceW(service.h, 1, args)) << GetLastError();
  SERVICE_STATUS status = {};
  for (int i = 0; i < 100 && !MutexExists(kReadyMutex); ++i) Sleep(100);
  EXPECT_TRUE(MutexExists(kReadyMutex));
  ASSERT_TRUE(QueryServiceStatus(service.h, &status));
  EXPECT_EQ(status.dwCurrentState, static_cast<DWORD>(SERVICE_RUNNING));

  ASSERT_TRUE(ControlService(service.h, SERVICE_CONTROL_STOP, &status));
  for (int i = 0; i < 100 && status.dwCurrentState != SERVICE_STOPPED; ++i) {
    Sleep(100);
    QueryServiceStatus(service.h, &status);
  }
  EXPECT_EQ(status.dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
  for (int i = 0; i < 50 && MutexExists(kReadyMutex); ++i) Sleep(100);
  EXPECT_FALSE(MutexExists(kReadyMutex));
  DeleteService(service.h);
}

TEST(ProductPrograms, ActiveDefenseOutsideTheServiceManagerEndsWithAnError) {
  // Without "/run" the program is a service; started by anything else it must
  // not linger as a process that the installer would take for a running one.
  const long code = RunToEnd(ProductFile(L"safemon\\ZVActiveDefense.exe"), L"");
  EXPECT_NE(code, 0);
  EXPECT_NE(code, -1) << "still running";
  EXPECT_FALSE(MutexExists(kReadyMutex));
}

TEST(ProductPrograms, UninstallAndRepairChangeNothingAndSucceed) {
  const std::wstring uninstall = ProductFile(L"Uninstall.exe");
  EXPECT_EQ(RunToEnd(uninstall, L"/S"), 0);
  EXPECT_EQ(RunToEnd(ProductFile(L"Repair.exe"), L""), 0);
  EXPECT_NE(GetFileAttributesW(uninstall.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(ProductPrograms, PowerSaverAcceptsOnlyItsSwitch) {
  const std::wstring saver = ProductFile(L"Utils\\PowerSaver.exe");
  EXPECT_EQ(RunToEnd(saver, L"/flightsigning"), 0);
  EXPECT_EQ(RunToEnd(saver, L"/other"), 1);
}

TEST(ProductPrograms, VersionModuleCarriesOneVersionInBothForms) {
  const std::wstring path = ProductFile(L"ZVVer.dll");
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
  ASSERT_GT(size, 0u);
  std::vector<BYTE> block(size);
  ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, block.data()));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_GE(HIWORD(fixed->dwFileVersionMS), 10u);  // newer than every product the installer upgrades
  wchar_t* text = nullptr;
  ASSERT_TRUE(VerQueryValueW(block.data(), L"\\StringFileInfo\\040904b0\\FileVersion",
                             reinterpret_cast<void**>(&text), &length));
  wchar_t expected[64];
  wsprintfW(expected, L"%u.%u.%u.%u", HIWORD(fixed->dwFileVersionMS), LOWORD(fixed->dwFileVersionMS),
            HIWORD(fixed->dwFileVersionLS), LOWORD(fixed->dwFileVersionLS));
  EXPECT_STREQ(text, expected);
}

TEST(ProductPrograms, EveryProgramCarriesTheBuildSignature) {
  for (const wchar_t* rel : {L"ZVSafeMain.exe", L"ZVVer.dll", L"safemon\\ZVSafeTray.exe",
                             L"safemon\\ZVActiveDefense.exe", L"Uninstall.exe", L"Repair.exe",
                             L"Utils\\PowerSaver.exe", L"safemon\\WscReg.exe",
                             L"safemon\\ZVWatchdog.exe", L"safemon\\LumSPTool.exe",
                             L"ipc\\DrvUtility.dll", L"filemon\\LumAvFlt.dll",
                             L"deepscan\\qutmload.dll", L"netmon\\Lumnetctrl.dll",
                             L"ipc\\sbmon.dll"}) {
    UniqueFileHandle file(CreateFileW(ProductFile(rel).c_str(), GENERIC_READ, FILE_SHARE_READ,
                                      nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(file.Valid()) << rel;
    char magic[8] = {};
    DWORD read = 0;
    SetFilePointer(file.Get(), -8, nullptr, FILE_END);
    ASSERT_TRUE(ReadFile(file.Get(), magic, 8, &read, nullptr));
    EXPECT_EQ(std::string(magic, 8), std::string("LUMSIG1\0", 8)) << rel;
  }
}

}  // namespace
}  // namespace lum
