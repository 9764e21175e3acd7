// first_paint_bench <installer> <rounds> — under Wine, the time from the start
// of the installer's process to the first paint of its welcome page.
//
// Three figures, medians of `rounds` fresh processes each:
//   double-click    the installer as a person starts it (the copy under
//                   Program Files and its restart included), extraction in
//                   the worker running
//   in place        with "/BNinstall" (no relocation), extraction running
//   window only     this program, with the installer's resources, doing what
//                   the interactive run does before its window, without the
//                   install worker: what the page costs when nothing competes
//   window+worker   the same with the install worker extracting the payload,
//                   started before the window as the interactive run does
// The installer's own figures come from its log ("first paint of the welcome
// page") against the moment this program created the process; the window is
// then closed as a person closes it. Prints figures only.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "app/session_environment_win.h"
#include "base/install_log.h"
#include "base/text.h"
#include "install/install_proc_win.h"
#include "payload/archive_extract_win.h"
#include "session/session_settings.h"
#include "system/win_handle_win.h"
#include "ui/main_dlg_win.h"
#include "ui/msg_box_win.h"
#include "ui/skin/gdiplus_win.h"

namespace lum {
namespace {

constexpr const wchar_t* kPaintNote = L"first paint of the welcome page";

// Milliseconds since midnight of a local time, the log's clock.
long long LocalMs(const SYSTEMTIME& t) {
  return ((t.wHour * 60LL + t.wMinute) * 60 + t.wSecond) * 1000 + t.wMilliseconds;
}

long long NowMs() {
  SYSTEMTIME t;
  GetLocalTime(&t);
  return LocalMs(t);
}

std::wstring ReadLog(const std::wstring& path) {
  UniqueFileHandle file(CreateFileW(path.c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, 0, nullptr));
  if (!file) return std::wstring();
  std::string bytes(GetFileSize(file.Get(), nullptr), '\0');
  DWORD read = 0;
  if (!bytes.empty()) ReadFile(file.Get(), &bytes[0], static_cast<DWORD>(bytes.size()), &read, nullptr);
  bytes.resize(read);
  return Utf8ToWide(bytes);
}

// One step of the start-up as the log shows it: the step ends with the first
// line holding `marker` after the previous step's line.
struct Step {
  const char* name;
  const wchar_t* marker;
  bool doubleClickOnly;
};
constexpr Step kSteps[] = {
    {"process start", L"[log] open log file", false},
    {"preload libraries", L"preload system libraries", false},
    {"base module", L"[startup] load base module", false},
    {"copy installer", L"relocate: copy installer", true},
    {"verify copy", L"verify file", true},
    {"second process", L"[log] open log file", true},
    {"preload (copy)", L"preload system libraries", true},
    {"base module (copy)", L"[startup] load base module", true},
    {"session set-up", L", interactive", false},
    {"instance, tray link", L"callback server started", false},
    {"offer, GDI+", L"GDI+ started", false},
    {"install worker", L"install worker started", false},
    {"window, checks", L"start check: all passed", false},
    {"controls, language", L"welcome page laid out", false},
    {"show, images, paint", kPaintNote, false},
};
constexpr size_t kStepCount = sizeof(kSteps) / sizeof(kSteps[0]);

// The local time of a log line ("YYYY-MM-DD hh:mm:ss.mmm ..."), or -1.
long long LineMs(const std::wstring& line) {
  int y, mo, d, h, mi, s, ms;
  if (swscanf(line.c_str(), L"%d-%d-%d %d:%d:%d.%d", &y, &mo, &d, &h, &mi, &s, &ms) != 7) return -1;
  return ((h * 60LL + mi) * 60 + s) * 1000 + ms;
}

// The end of each step in ms after `started` (-1 where its line is missing),
// and the first paint's figure last.
struct RoundTimes {
  std::vector<long long> stepEnds = std::vector<long long>(kStepCount, -1);
  long long painted = -1;
};

RoundTimes ParseRound(const std::wstring& log, long long started, bool doubleClick) {
  RoundTimes times;
  std::vector<std::wstring> lines;
  for (size_t at = 0; at < log.size();) {
    size_t end = log.find(L'\n', at);
    if (end == std::wstring::npos) end = log.size();
    lines.push_back(log.substr(at, end - at));
    at = end + 1;
  }
  size_t next = 0;
  for (size_t i = 0; i < kStepCount; ++i) {
    if (kSteps[i].doubleClickOnly && !doubleClick) continue;
    for (size_t n = next; n < lines.size(); ++n) {
      if (lines[n].find(kSteps[i].marker) == std::wstring::npos) continue;
      const long long ms = LineMs(lines[n]);
      if (ms >= 0) times.stepEnds[i] = ms - started;
      next = n + 1;
      break;
    }
  }
  for (const std::wstring& line : lines)
    if (line.find(kPaintNote) != std::wstring::npos) {
      const long long ms = LineMs(line);
      if (ms >= 0) times.painted = ms - started;
      break;
    }
  return times;
}

// One start of the installer: its steps and its first paint, -1 when none was seen.
RoundTimes InstallerRound(const std::wstring& installer, const std::wstring& args, int round) {
  const std::wstring log = L"C:\\first_paint_" + std::to_wstring(round) + L".log";
  DeleteFileW(log.c_str());
  std::wstring line = L"\"" + installer + L"\" " + args + L" /log:" + log;
  std::vector<wchar_t> buffer(line.begin(), line.end());
  buffer.push_back(0);
  STARTUPINFOW si = {sizeof(si)};
  PROCESS_INFORMATION pi = {};
  const long long started = NowMs();
  if (!CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
    return RoundTimes();
  UniqueHandle process(pi.hProcess), thread(pi.hThread);
  const bool doubleClick = args.empty();
  RoundTimes times;
  for (int i = 0; i < 1200 && times.stepEnds[kStepCount - 1] < 0; ++i) {
    Sleep(50);
    times = ParseRound(ReadLog(log), started, doubleClick);
  }
  // Closed as a person closes it; the worker and its work folder go too.
  if (HWND window = FindWindowW(kMainWindowClass, nullptr)) PostMessageW(window, WM_CLOSE, 0, 0);
  if (WaitForSingleObject(process.Get(), 120000) != WAIT_OBJECT_0) TerminateProcess(process.Get(), 1);
  return ParseRound(ReadLog(log), started, doubleClick);
}

class CTimedMainDlg : public CMainDlg {
 public:
  long long paintedMs = -1;

 protected:
  // The moment the installer logs as its first paint: the end of the first
  // WM_PAINT of the shown window.
  bool ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                            LRESULT& result) override {
    const bool handled = CMainDlg::ProcessWindowMessage(window, message, wParam, lParam, result);
    if (message == WM_PAINT && paintedMs < 0 && ::IsWindowVisible(window)) {
      paintedMs = NowMs();
      PostQuitMessage(0);
    }
    return handled;
  }
};

// This process's own start, on the log's clock.
long long ProcessStartMs() {
  FILETIME created, exited, kernel, user, local;
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
  FileTimeToLocalFileTime(&created, &local);
  SYSTEMTIME t;
  FileTimeToSystemTime(&local, &t);
  return LocalMs(t);
}

int WindowOnly(const std::wstring& out, bool withWorker) {
  SessionSettings& session = Session();
  WinSessionEnvironment env;
  if (!session.Setup(env) || !StartGdiPlus()) return 1;
  PrepareSkinForLanguage();
  // As the interactive run does: the worker starts extracting before the window.
  if (withWorker) GetInstallProc();
  CTimedMainDlg window;
  if (!window.Create(SW_SHOWNOACTIVATE)) return 1;
  MSG msg;
  while (window.paintedMs < 0 && GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
  const std::string figure = std::to_string(window.paintedMs - ProcessStartMs());
  if (CInstallProc* procedure = InstallProcIfCreated()) {
    procedure->RequestCancel();
    procedure->Stop();
    UnloadArchiveLibrary();
    procedure->DeleteWorkFolder();
  }
  UniqueFileHandle file(CreateFileW(out.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  DWORD written = 0;
  return file && WriteFile(file.Get(), figure.data(), static_cast<DWORD>(figure.size()), &written,
                           nullptr)
             ? 0
             : 1;
}

// A fresh process of this program for the window alone (`mode`).
long long WindowRound(const std::wstring& mode) {
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  const std::wstring out = L"C:\\first_paint_window.txt";
  DeleteFileW(out.c_str());
  std::wstring line = L"\"" + std::wstring(self) + L"\" " + mode + L" " + out;
  std::vector<wchar_t> buffer(line.begin(), line.end());
  buffer.push_back(0);
  STARTUPINFOW si = {sizeof(si)};
  PROCESS_INFORMATION pi = {};
  if (!CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
    return -1;
  WaitForSingleObject(pi.hProcess, 60000);
  CloseHandle(pi.hProcess);
  CloseHandle(pi.hThread);
  const std::wstring text = ReadLog(out);
  return text.empty() ? -1 : _wtoi64(text.c_str());
}

long long Median(std::vector<long long> v) {
  v.erase(std::remove(v.begin(), v.end(), -1), v.end());
  if (v.empty()) return -1;
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

void Report(const char* what, const std::vector<long long>& rounds) {
  std::printf("%-14s median %5lld ms   rounds:", what, Median(rounds));
  for (long long r : rounds) std::printf(" %lld", r);
  std::printf("\n");
}

// Median length of each step over the rounds (a step's length is the time
// from the previous step's line to its own in one round).
std::vector<long long> StepMedians(const std::vector<RoundTimes>& rounds) {
  std::vector<long long> medians(kStepCount, -1);
  for (size_t i = 0; i < kStepCount; ++i) {
    std::vector<long long> lengths;
    for (const RoundTimes& round : rounds) {
      long long previous = 0;
      bool found = false;
      for (size_t j = i; j-- > 0;)
        if (round.stepEnds[j] >= 0) {
          previous = round.stepEnds[j];
          break;
        }
      if (round.stepEnds[i] >= 0) found = true;
      lengths.push_back(found ? round.stepEnds[i] - previous : -1);
    }
    medians[i] = Median(lengths);
  }
  return medians;
}

std::vector<long long> Painted(const std::vector<RoundTimes>& rounds) {
  std::vector<long long> figures;
  for (const RoundTimes& round : rounds) figures.push_back(round.painted);
  return figures;
}

void ReportSteps(const std::vector<RoundTimes>& doubleClick, const std::vector<RoundTimes>& inPlace) {
  const std::vector<long long> a = StepMedians(doubleClick), b = StepMedians(inPlace);
  std::printf("\nwhere the time goes (median ms per step; a step ends at its log line)\n");
  std::printf("%-22s %13s %11s\n", "step", "double-click", "/BNinstall");
  auto cell = [](long long v) { return v < 0 ? std::string("-") : std::to_string(v); };
  for (size_t i = 0; i < kStepCount; ++i)
    std::printf("%-22s %13s %11s\n", kSteps[i].name, cell(a[i]).c_str(), cell(b[i]).c_str());
}

int Run(const std::wstring& installer, int rounds) {
  std::vector<RoundTimes> doubleClick, inPlace;
  std::vector<long long> windowOnly, windowWorker;
  for (int i = 0; i < rounds; ++i) {
    doubleClick.push_back(InstallerRound(installer, L"", i));
    inPlace.push_back(InstallerRound(installer, L"/BNinstall", rounds + i));
    windowOnly.push_back(WindowRound(L"--window-only"));
    windowWorker.push_back(WindowRound(L"--window-worker"));
  }
  std::printf("first paint of the welcome page under Wine (goal: under 300 ms), %d rounds\n", rounds);
  Report("double-click", Painted(doubleClick));
  Report("in place", Painted(inPlace));
  Report("window only", windowOnly);
  Report("window+worker", windowWorker);
  ReportSteps(doubleClick, inPlace);
  return 0;
}

}  // namespace
}  // namespace lum

int wmain(int argc, wchar_t** argv) {
  if (argc == 3 && std::wstring(argv[1]) == L"--window-only") return lum::WindowOnly(argv[2], false);
  if (argc == 3 && std::wstring(argv[1]) == L"--window-worker") return lum::WindowOnly(argv[2], true);
  if (argc != 3) {
    std::fprintf(stderr, "usage: first_paint_bench <installer> <rounds>\n");
    return 2;
  }
  return lum::Run(argv[1], _wtoi(argv[2]));
}
