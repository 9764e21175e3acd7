// first_window_bench <rounds> <label> <command line> [<label> <command line>...]
//
// Under Wine, the time from creating a program's process to the first new
// visible top-level window of a useful size, measured the same way for every
// program named: ours, the anchor installer, anything. The cases alternate
// within each round so a load that comes and goes touches them alike.
//
// A window counts when it is visible, was not there before the start, and is
// at least kMinWidth x kMinHeight: a splash of one pixel or a hidden owner
// window does not. It may belong to another process than the one started (a
// program that restarts itself from a copy shows its window from the copy).
// Once seen, every process started since the case began is ended, so the
// next case starts from the same state.
//
// Prints, per case, the median, minimum and maximum in milliseconds and the
// class and title of the window it caught; never passes or fails on time.
#include <windows.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr int kMinWidth = 200;
constexpr int kMinHeight = 150;
constexpr DWORD kGiveUpMs = 30000;
constexpr DWORD kEndWaitMs = 10000;

struct Case {
  std::wstring label;
  std::wstring command;
  std::vector<double> ms;
  std::wstring caught;
  int missed = 0;
};

double NowMs() {
  static LARGE_INTEGER freq = [] { LARGE_INTEGER f; QueryPerformanceFrequency(&f); return f; }();
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return static_cast<double>(now.QuadPart) * 1000.0 / static_cast<double>(freq.QuadPart);
}

BOOL CALLBACK CollectWindow(HWND window, LPARAM param) {
  reinterpret_cast<std::set<HWND>*>(param)->insert(window);
  return TRUE;
}

std::set<HWND> TopLevelWindows() {
  std::set<HWND> windows;
  EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&windows));
  return windows;
}

// Wine's own processes may start while a case runs (the desktop window, a
// service the first window asks for); they are part of the machine, not of
// the program measured, and stay.
bool IsSystemProcess(const wchar_t* name) {
  static const wchar_t* const kSystem[] = {L"explorer.exe", L"services.exe", L"winedevice.exe",
                                           L"plugplay.exe", L"svchost.exe", L"rpcss.exe",
                                           L"conhost.exe", L"tabtip.exe", L"wineboot.exe"};
  for (const wchar_t* system : kSystem)
    if (_wcsicmp(name, system) == 0) return true;
  return false;
}

std::set<DWORD> ProcessIds() {
  std::set<DWORD> ids;
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snap == INVALID_HANDLE_VALUE) return ids;
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Process32FirstW(snap, &entry); more; more = Process32NextW(snap, &entry))
    if (!IsSystemProcess(entry.szExeFile)) ids.insert(entry.th32ProcessID);
  CloseHandle(snap);
  return ids;
}

struct Search {
  const std::set<HWND>* before;
  HWND found = nullptr;
};

BOOL CALLBACK FindNewWindow(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<Search*>(param);
  if (search->before->count(window) || !IsWindowVisible(window)) return TRUE;
  RECT rect;
  if (!GetWindowRect(window, &rect)) return TRUE;
  if (rect.right - rect.left < kMinWidth || rect.bottom - rect.top < kMinHeight) return TRUE;
  search->found = window;
  return FALSE;
}

std::wstring Describe(HWND window) {
  wchar_t cls[128] = L"", title[128] = L"";
  GetClassNameW(window, cls, 128);
  GetWindowTextW(window, title, 128);
  RECT rect = {};
  GetWindowRect(window, &rect);
  wchar_t size[48];
  swprintf(size, 48, L"%ldx%ld", rect.right - rect.left, rect.bottom - rect.top);
  return std::wstring(L"class \"") + cls + L"\", title \"" + title + L"\", " + size;
}

// Ends every process that did not exist before the case, newest last: the
// started program, the copy it restarted as, and anything they started.
void EndNewProcesses(const std::set<DWORD>& before) {
  std::vector<HANDLE> ended;
  for (DWORD id : ProcessIds()) {
    if (before.count(id) || id == GetCurrentProcessId()) continue;
    HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id);
    if (!process) continue;
    TerminateProcess(process, 1);
    ended.push_back(process);
  }
  for (HANDLE process : ended) {
    WaitForSingleObject(process, kEndWaitMs);
    CloseHandle(process);
  }
}

void RunOnce(Case& c) {
  std::set<DWORD> processes = ProcessIds();
  std::set<HWND> windows = TopLevelWindows();
  std::wstring command = c.command;
  STARTUPINFOW si = {};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi = {};
  double start = NowMs();
  if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
    std::fwprintf(stderr, L"first_window_bench: cannot start %ls (error %lu)\n", c.command.c_str(),
                  GetLastError());
    ++c.missed;
    return;
  }
  CloseHandle(pi.hThread);
  Search search{&windows};
  while (NowMs() - start < kGiveUpMs) {
    EnumWindows(FindNewWindow, reinterpret_cast<LPARAM>(&search));
    if (search.found) break;
    // A program that ends without a window has nothing more to show.
    if (WaitForSingleObject(pi.hProcess, 0) == WAIT_OBJECT_0 && ProcessIds().size() <= processes.size())
      break;
    Sleep(1);
  }
  double seen = NowMs();
  if (search.found) {
    c.ms.push_back(seen - start);
    if (c.caught.empty()) c.caught = Describe(search.found);
  } else {
    ++c.missed;
  }
  CloseHandle(pi.hProcess);
  EndNewProcesses(processes);
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 4 || (argc - 2) % 2 != 0) {
    std::fwprintf(stderr, L"usage: first_window_bench ROUNDS LABEL COMMAND [LABEL COMMAND...]\n");
    return 2;
  }
  int rounds = std::max(1, _wtoi(argv[1]));
  std::vector<Case> cases;
  for (int i = 2; i + 1 < argc; i += 2) cases.push_back(Case{argv[i], argv[i + 1], {}, {}, 0});
  for (int round = 0; round < rounds; ++round) {
    // Alternate the order: the first case of a round is the one that pays for
    // a cold file cache, so each takes that place in turn.
    for (size_t k = 0; k < cases.size(); ++k) RunOnce(cases[(k + round) % cases.size()]);
  }
  std::printf("first visible window of at least %dx%d, %d rounds (ms: median, min-max)\n", kMinWidth,
              kMinHeight, rounds);
  for (const Case& c : cases) {
    if (c.ms.empty()) {
      std::printf("  %-34ls no window within %lu ms in any round\n", c.label.c_str(), kGiveUpMs);
      continue;
    }
    auto [lo, hi] = std::minmax_element(c.ms.begin(), c.ms.end());
    std::printf("  %-34ls %7.0f  %5.0f-%-5.0f%s\n", c.label.c_str(), Median(c.ms), *lo, *hi,
                c.missed ? "  (some rounds showed no window)" : "");
    std::printf("  %-34ls %ls\n", "", c.caught.c_str());
  }
  return 0;
}
