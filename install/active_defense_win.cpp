#include "install/active_defense_win.h"

#include <windows.h>

#include <memory>

#include "base/install_log.h"
#include "base/prescribed_wait.h"
#include "install/process_termination_win.h"
#include "install/trusted_launch_win.h"
#include "system/file_ops_win.h"
#include "system/product_handshake_win.h"
#include "system/registry_win.h"
#include "system/service_control_win.h"
#include "system/service_record_win.h"
#include "system/win_handle_win.h"
#include "tray/tray_requests_win.h"

namespace lum {
namespace {

constexpr const char* kLog = "active-defense";
constexpr const wchar_t* kServiceName = L"ZVActiveDefense";
constexpr const wchar_t* kProgram = L"ZVActiveDefense.exe";
constexpr DWORD kPollMs = 1000;
constexpr int kExitPolls = 6;
constexpr int kTerminatedPolls = 5;
constexpr int kStartRounds = 5;

// Polls once a second while the program runs, at most `polls` times; true
// when it is gone.
bool WaitUntilGone(int polls) {
  DWORD pid = 0;
  for (int i = 0; i < polls && FindProcess(kProgram, &pid); ++i) ::Sleep(kPollMs);
  return !FindProcess(kProgram, &pid);
}

// Worker A: owns its copy of the install folder (it may outlive the wait).
DWORD WINAPI RegisterActiveDefense(void* parameter) {
  std::unique_ptr<std::wstring> installDir(static_cast<std::wstring*>(parameter));
  StopAndDeleteService(L"ZVService", true);
  DWORD old = 0;
  if (FindProcess(L"ZVService.exe", &old))
    log::Action(kLog, L"end old service process", L"ZVService.exe", EndProcess(old) ? 0 : 1);
  ClearServiceMarks(kServiceName);
  WriteServiceRecord(ActiveDefenseRecord(*installDir));
  const std::wstring program = WithTrailingSlash(*installDir) + L"safemon\\ZVActiveDefense.exe";
  RunTrusted(program, L"/install", INFINITE);
  return 0;
}

// Worker B.
DWORD WINAPI StartActiveDefense(void*) {
  UniqueScHandle manager(::OpenSCManagerW(nullptr, nullptr, GENERIC_EXECUTE));
  if (!manager) {
    log::Action(kLog, L"open service manager", kServiceName, static_cast<long>(::GetLastError()));
    return 1;
  }
  UniqueScHandle service(::OpenServiceW(
      manager.Get(), kServiceName,
      SERVICE_START | SERVICE_QUERY_STATUS | SERVICE_CHANGE_CONFIG | GENERIC_EXECUTE));
  if (!service) {
    log::Action(kLog, L"open service", kServiceName, static_cast<long>(::GetLastError()));
    return 1;
  }
  SetServiceDescription(service.Get(), L"Lum Bastion");
  log::Action(kLog, L"start service with \"install\"", kServiceName,
              static_cast<long>(StartServiceWithArgument(service.Get(), L"install")));
  for (int round = 0; round < kStartRounds; ++round) {
    if (IsActiveDefenseReady()) break;
    SERVICE_STATUS status = {};
    if (::QueryServiceStatus(service.Get(), &status) && status.dwCurrentState != SERVICE_RUNNING)
      log::Action(kLog, L"start service again", kServiceName,
                  static_cast<long>(StartServiceWithArgument(service.Get(), L"install")));
    ::Sleep(kPollMs);
  }
  return 0;
}

// Runs `body` on a thread of its own and waits at most `waitMs`; true when
// it ended in time. The thread is never stopped. `installDir` (may be null)
// passes to the thread, which frees it.
bool RunWorker(LPTHREAD_START_ROUTINE body, std::wstring* installDir, DWORD waitMs,
               const wchar_t* name) {
  UniqueHandle thread(::CreateThread(nullptr, 0, body, installDir, 0, nullptr));
  if (!thread) {
    delete installDir;
    log::Action(kLog, std::wstring(L"start worker: ") + name, L"",
                static_cast<long>(::GetLastError()));
    return false;
  }
  const bool ended = ::WaitForSingleObject(thread.Get(), waitMs) == WAIT_OBJECT_0;
  log::Action(kLog, std::wstring(L"worker ") + name + (ended ? L" ended" : L" still running"),
              L"", ended ? 0 : WAIT_TIMEOUT);
  return ended;
}

bool PollReady(int polls, const wchar_t* name) {
  PrescribedWait wait(kLog, name);
  bool ready = false;
  for (int i = 0; i < polls; ++i) {
    ready = IsActiveDefenseReady();
    if (ready) break;
    ::Sleep(kPollMs);
  }
  return ready;
}

}  // namespace

bool IsActiveDefenseLaunchProtected() { return IsServiceLaunchProtected(kServiceName); }

bool WaitActiveDefenseExit() {
  log::Action(kLog, L"ask the tray service to stop the product", L"", StopService());
  PrescribedWait wait(kLog, L"active defense to exit");
  bool gone = WaitUntilGone(kExitPolls);
  if (!gone) {
    log::Action(kLog, L"end the active-defense process", kProgram,
                EndAllProcesses(kProgram) ? 0 : 1);
    gone = WaitUntilGone(kTerminatedPolls);
  }
  log::Action(kLog, gone ? L"active defense has exited" : L"active defense still runs", kProgram,
              gone ? 0 : 1);
  return gone;
}

bool RunWatchdogInstall() {
  RegKey key;
  std::wstring folder;
  if (!key.Open(HKEY_LOCAL_MACHINE,
                L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Lumsafe.exe",
                KEY_QUERY_VALUE) ||
      !key.ReadString(L"Path", &folder) || folder.empty() || folder.size() >= 260)
    return false;
  const std::wstring watchdog = WithTrailingSlash(folder) + L"safemon\\ZVWatchdog.exe";
  if (!FileExists(watchdog)) return false;
  PROCESS_INFORMATION info = {};
  if (!LaunchTrusted(watchdog, L"\"" + watchdog + L"\" /install", CREATE_UNICODE_ENVIRONMENT,
                     &info))
    return false;
  ::CloseHandle(info.hThread);
  ::CloseHandle(info.hProcess);
  return true;
}

bool BringUpActiveDefense(const std::wstring& installDir) {
  {
    PrescribedWait wait(kLog, L"worker registering active defense");
    RunWorker(&RegisterActiveDefense, new std::wstring(installDir), kRegisterWorkerWaitMs,
              L"register active defense");
  }
  bool started = false;
  {
    PrescribedWait wait(kLog, L"worker starting active defense");
    started = RunWorker(&StartActiveDefense, nullptr, kStartWorkerWaitMs, L"start active defense");
  }
  bool ready = started && PollReady(kReadyPolls, L"active defense readiness");
  if (!ready) {
    log::Action(kLog, L"fall back to the watchdog", L"ZVWatchdog.exe",
                RunWatchdogInstall() ? 0 : 1);
    ready = PollReady(kWatchdogReadyPolls, L"active defense readiness after the watchdog");
  }
  log::Action(kLog, ready ? L"active defense confirmed running" : L"active defense not confirmed",
              kServiceName, ready ? 0 : 1);
  return ready;
}

}  // namespace lum
