#include "browser/browser_launch_win.h"

#include <windows.h>
// These build on windows.h.
#include <shellapi.h>
#include <tlhelp32.h>

#include <map>
#include <vector>

#include "base/install_log.h"
#include "base/text.h"
#include "browser/browser_detect_win.h"
#include "browser/browser_names.h"
#include "browser/image_signer_win.h"
#include "browser/open_link_win.h"
#include "system/file_ops_win.h"
#include "system/process_start_win.h"
#include "system/registry_win.h"
#include "system/user_rights_start_win.h"
#include "system/win_handle_win.h"
#include "system/windows_version_win.h"

namespace lum {

namespace {

constexpr const char* kLog = "browser";
constexpr DWORD kHighIntegrityRid = 0x3000;

struct ProcessEntry {
  DWORD id = 0;
  DWORD parent = 0;
  std::wstring name;  // lower-cased
};

std::vector<ProcessEntry> RunningProcesses() {
  std::vector<ProcessEntry> processes;
  UniqueFileHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return processes;
  PROCESSENTRY32W entry = {sizeof(entry)};
  for (BOOL more = ::Process32FirstW(snapshot.Get(), &entry); more;
       more = ::Process32NextW(snapshot.Get(), &entry))
    processes.push_back(
        {entry.th32ProcessID, entry.th32ParentProcessID, ToLowerAscii(entry.szExeFile)});
  return processes;
}


// Whether a process runs with an administrator's full rights: a token at
// high integrity or above that is also elevated (a token derived from an
// elevated one may keep its label; one that cannot be read counts as not).
bool RunsElevated(DWORD processId) {
  UniqueHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
  if (!process) return false;
  UniqueHandle token;
  if (!::OpenProcessToken(process.Get(), TOKEN_QUERY, token.Put())) return false;
  TOKEN_ELEVATION elevation = {};
  DWORD size = 0;
  if (!::GetTokenInformation(token.Get(), TokenElevation, &elevation, sizeof(elevation), &size) ||
      !elevation.TokenIsElevated)
    return false;
  ::GetTokenInformation(token.Get(), TokenIntegrityLevel, nullptr, 0, &size);
  if (size == 0) return false;
  std::vector<BYTE> buffer(size);
  if (!::GetTokenInformation(token.Get(), TokenIntegrityLevel, buffer.data(), size, &size))
    return false;
  const auto* label = reinterpret_cast<const TOKEN_MANDATORY_LABEL*>(buffer.data());
  const UCHAR count = *::GetSidSubAuthorityCount(label->Label.Sid);
  return count != 0 && *::GetSidSubAuthority(label->Label.Sid, count - 1) >= kHighIntegrityRid;
}

// Chrome hands a URL to its running main process, which opens it with that
// process's rights; a main process that runs elevated already takes a direct
// start, anything else would meet a profile lock at medium integrity.
bool ChromeMainRunsHigh() {
  const std::vector<ProcessEntry> processes = RunningProcesses();
  std::map<DWORD, std::wstring> names;
  for (const ProcessEntry& process : processes) names[process.id] = process.name;
  for (const ProcessEntry& process : processes) {
    if (process.name != L"chrome.exe") continue;
    const auto parent = names.find(process.parent);
    if (parent != names.end() && parent->second == L"chrome.exe") continue;
    if (RunsElevated(process.id)) return true;
  }
  return false;
}

// A browser that already runs with the installer's rights takes the URL into
// that process; beside one that runs with the user's rights, or cannot be
// read, a direct start would open an elevated window: only an elevated
// process of the name counts.
bool RunsHigh(const std::wstring& lowerName) {
  for (const ProcessEntry& process : RunningProcesses())
    if (process.name == lowerName && RunsElevated(process.id)) return true;
  return false;
}

// Browsers keep their current folder open; the installer's own folder is
// deleted after the run, so they start in their own.
bool StartDirect(const std::wstring& executable, const std::wstring& commandLine) {
  PROCESS_INFORMATION info = {};
  const bool ok =
      StartProcess(L"", commandLine, NeutralFolderFor(executable), SW_SHOWNORMAL, 0, &info);
  if (ok) {
    ::CloseHandle(info.hThread);
    ::CloseHandle(info.hProcess);
  }
  log::Action(kLog, L"start browser (installer's rights)", commandLine,
              ok ? 0 : static_cast<long>(::GetLastError()));
  return ok;
}

bool ShellOpen(const std::wstring& file, const std::wstring& parameters) {
  const INT_PTR answer = reinterpret_cast<INT_PTR>(
      ::ShellExecuteW(nullptr, L"open", file.c_str(),
                      parameters.empty() ? nullptr : parameters.c_str(),
                      NeutralFolderFor(file).c_str(), SW_SHOWNORMAL));
  log::Action(kLog, L"open through the shell",
              file + (parameters.empty() ? L"" : L" " + parameters),
              answer > 32 ? 0 : static_cast<long>(answer));
  return answer > 32;
}

bool OpenInEdge(const std::wstring& url) {
  ShellOpen(L"\"microsoft-edge:" + url + L"\"", L"");
  return true;
}

bool BrowserLockSet() {
  RegKey key;
  DWORD value = 0;
  return key.Open(HKEY_LOCAL_MACHINE, L"SOFTWARE\\LumSafe\\safemon", KEY_QUERY_VALUE) &&
         key.ReadDword(L"DefaultBrowserLockEx2", &value) && value != 0;
}

bool OpenWithDefaultBrowser(const std::wstring& url) {
  const WindowsVersion version = GetWindowsVersion();
  const std::wstring path = DefaultBrowserPath();
  if (EqualsNoCase(path, L"MicrosoftEdge")) {
    if (version.IsWindows10OrLater()) return OpenInEdge(url);
  } else if (!path.empty() && LaunchUrlWithBrowser(path, url)) {
    return true;
  }
  const std::wstring http = HttpAssociationPath();
  if (!http.empty() && !EqualsNoCase(http, path) && LaunchUrlWithBrowser(http, url)) return true;
  RegKey ie;
  std::wstring iexplore;
  if (ie.Open(HKEY_LOCAL_MACHINE,
              L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\IEXPLORE.EXE",
              KEY_QUERY_VALUE) &&
      ie.ReadString(L"", &iexplore) && !iexplore.empty())
    return LaunchUrlWithBrowser(ExecutableOfCommand(iexplore), url);
  return false;
}

}  // namespace

bool LaunchUrlWithBrowser(const std::wstring& executable, const std::wstring& url) {
  if (executable.empty()) return false;
  const LaunchRule rule = LaunchRuleFor(executable);
  if (rule.signer != kSignerNone) {
    std::wstring file = executable;
    if (file.size() >= 2 && file.front() == L'"' && file.back() == L'"')
      file = file.substr(1, file.size() - 2);
    if (!SignedByPublisherOf(file, rule.signer)) {
      log::Action(kLog, L"browser not started: not signed by its publisher", executable,
                  static_cast<long>(TRUST_E_SUBJECT_NOT_TRUSTED));
      return false;
    }
  }
  const WindowsVersion version = GetWindowsVersion();
  if (!version.AtLeast(6, 0)) return ShellOpen(executable, url.empty() ? L"" : L"\"" + url + L"\"");
  const std::wstring commandLine = BrowserCommandLine(executable, url);
  switch (rule.mode) {
    case StartMode::kDirect:
      return StartDirect(executable, commandLine);
    case StartMode::kChromeRule:
      if (version.AtLeast(6, 1) && ChromeMainRunsHigh()) return StartDirect(executable, commandLine);
      break;
    case StartMode::kRunningOrMedium:
      if (RunsHigh(rule.runningName)) return StartDirect(executable, commandLine);
      break;
    case StartMode::kMediumIntegrity:
    default:
      break;
  }
  return LaunchAtMediumIntegrity(commandLine, NeutralFolderFor(executable), kLog);
}

bool OpenLink(const std::wstring& url, int mode) {
  if (url.empty()) return false;
  if (IsAtLeastBuild(L"10.0.10586") || !BrowserLockSet()) {
    if (mode == kOpenLinkPreferEdge) {
      BrowserRecord edge;
      if (DetectEdge(&edge)) return OpenInEdge(url);
    } else if (mode == kOpenLinkPreferChrome) {
      BrowserRecord chrome;
      if (DetectChrome(&chrome) && LaunchUrlWithBrowser(chrome.path, url)) return true;
    }
  }
  return OpenWithDefaultBrowser(url);
}

}  // namespace lum
