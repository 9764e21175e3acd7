#include "install/process_termination_win.h"

// These build on windows.h.
#include <shellapi.h>
#include <tlhelp32.h>

#include <cstdint>

#include "base/install_log.h"
#include "base/prescribed_wait.h"
#include "install/process_table.h"
#include "system/win_handle_win.h"
#include "tray/tray_requests_win.h"

namespace lum {
namespace {

constexpr const char* kLog = "process";

// Window classes of the product family closed by the fixed sequence, in order.
struct ClosedWindow {
  const wchar_t* className;
  LPARAM lParam;
};
constexpr ClosedWindow kClosedWindows[] = {
    {L"ZLumFEEDCLASSClass", 0},
    {L"ZLumInternationSafeClass", 0},
    {L"ZLumLiveUpdateDownloader", 1},  // 1: close without asking the user
    {L"ZLumInternationSafeCleanPlus", 0},
    {L"ZLumInternationSafeSystemCompact", 0},
};
constexpr const wchar_t* kMonitorClass = L"ZLumSafeMonClass";
constexpr UINT kMonitorIconId = 5769;

// The table of the last lookup; empty after a snapshot that failed.
ProcessTable& Table() {
  static ProcessTable table;
  return table;
}

void RefreshTable() {
  UniqueFileHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  ProcessTable fresh;
  if (!snapshot) {
    log::Action(kLog, L"process snapshot failed; nothing counts as running", L"",
                static_cast<long>(GetLastError()));
    Table().Replace(false, fresh);
    return;
  }
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Process32FirstW(snapshot.Get(), &entry); more;
       more = Process32NextW(snapshot.Get(), &entry)) {
    fresh.Add(entry.szExeFile, entry.th32ProcessID);
  }
  Table().Replace(true, fresh);
}

bool EndIfRunning(const wchar_t* name) {
  DWORD id = 0;
  if (!FindProcess(name, &id)) return false;
  return EndProcess(id);
}

}  // namespace

bool FindProcess(const std::wstring& name, DWORD* processId) {
  RefreshTable();
  uint32_t id = 0;
  if (!Table().Find(name, &id)) return false;
  *processId = id;
  return true;
}

bool FindAllProcesses(const std::wstring& name, std::vector<DWORD>* processIds) {
  RefreshTable();
  std::vector<uint32_t> ids;
  if (!Table().FindAll(name, &ids)) return false;
  processIds->assign(ids.begin(), ids.end());
  return true;
}

bool EndProcess(DWORD processId) {
  UniqueHandle process(OpenProcess(PROCESS_TERMINATE, FALSE, processId));
  const bool ok = process && TerminateProcess(process.Get(), 0);
  log::Action(kLog, L"end process", std::to_wstring(processId),
              ok ? 0 : static_cast<long>(GetLastError()));
  return ok;
}

bool EndAllProcesses(const std::wstring& name) {
  std::vector<DWORD> ids;
  if (!FindAllProcesses(name, &ids)) return false;
  log::Note(kLog, L"ending every " + name + L" (" + std::to_wstring(ids.size()) + L")");
  for (DWORD id : ids) EndProcess(id);
  return true;
}

void CloseProductPrograms() {
  EndIfRunning(L"ZVWatchdog.exe");
  BroadcastMonitorExit();
  EndIfRunning(L"PatchUp.exe");
  for (const ClosedWindow& window : kClosedWindows) {
    if (HWND hwnd = FindWindowW(window.className, nullptr)) {
      const BOOL posted = PostMessageW(hwnd, WM_CLOSE, 0, window.lParam);
      log::Action(kLog, L"close window", window.className,
                  posted ? 0 : static_cast<long>(GetLastError()));
    }
  }
  PrescribedSleep(kLog, L"product windows to close", 1000);
  bool ended = EndIfRunning(L"ZVSafeMain.exe");
  if (HWND monitor = FindWindowW(kMonitorClass, nullptr)) {
    // The monitor's icon would stay in the notification area after its
    // process is gone, until the mouse passes over it.
    NOTIFYICONDATAW icon = {};
    icon.cbSize = sizeof(icon);
    icon.hWnd = monitor;
    icon.uID = kMonitorIconId;
    const BOOL removed = Shell_NotifyIconW(NIM_DELETE, &icon);
    log::Action(kLog, L"remove monitor icon", kMonitorClass, removed ? 0 : 1);
  }
  ended |= EndIfRunning(L"ZVSafeTray.exe");
  if (ended) PrescribedSleep(kLog, L"ended product programs to let go", 2000);
}

int EndProcessesUnder(const std::wstring& folder, DWORD waitMs) {
  if (folder.empty()) return -1;
  UniqueFileHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) {
    log::Action(kLog, L"process snapshot failed", folder, static_cast<long>(GetLastError()));
    return -1;
  }
  const DWORD self = GetCurrentProcessId();
  std::vector<UniqueHandle> ended;
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Process32FirstW(snapshot.Get(), &entry); more;
       more = Process32NextW(snapshot.Get(), &entry)) {
    if (entry.th32ProcessID == self || entry.th32ProcessID == 0) continue;
    UniqueHandle process(OpenProcess(PROCESS_TERMINATE | PROCESS_QUERY_INFORMATION | PROCESS_VM_READ,
                                     FALSE, entry.th32ProcessID));
    if (!process) continue;
    wchar_t path[MAX_PATH + 1] = {};
    DWORD size = MAX_PATH;
    if (!QueryFullProcessImageNameW(process.Get(), 0, path, &size)) continue;
    if (!PathLiesInFolder(path, folder)) continue;
    const BOOL terminated = TerminateProcess(process.Get(), 0);
    log::Action(kLog, L"end process under install folder", path,
                terminated ? 0 : static_cast<long>(GetLastError()));
    if (terminated) ended.push_back(std::move(process));
  }
  // WaitForMultipleObjects takes at most MAXIMUM_WAIT_OBJECTS handles at once;
  // the rest share what is left of the wait.
  const DWORD start = GetTickCount();
  for (size_t first = 0; first < ended.size(); first += MAXIMUM_WAIT_OBJECTS) {
    std::vector<HANDLE> batch;
    for (size_t i = first; i < ended.size() && batch.size() < MAXIMUM_WAIT_OBJECTS; ++i) {
      batch.push_back(ended[i].Get());
    }
    const DWORD spent = GetTickCount() - start;
    const DWORD left = spent >= waitMs ? 0 : waitMs - spent;
    WaitForMultipleObjects(static_cast<DWORD>(batch.size()), batch.data(), TRUE, left);
  }
  return 0;
}

}  // namespace lum
