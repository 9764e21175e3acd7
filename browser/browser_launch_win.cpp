#include "browser/browser_launch_win.h"

#include <windows.h>
// These build on windows.h.
#include <sddl.h>
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

bool IsRunning(const std::wstring& lowerName) {
  for (const ProcessEntry& process : RunningProcesses())
    if (process.name == lowerName) return true;
  return false;
}

// The integrity RID of a process's token; 0 when it cannot be read.
DWORD IntegrityOf(DWORD processId) {
  UniqueHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
  if (!process) return 0;
  UniqueHandle token;
  if (!::OpenProcessToken(process.Get(), TOKEN_QUERY, token.Put())) return 0;
  DWORD size = 0;
  ::GetTokenInformation(token.Get(), TokenIntegrityLevel, nullptr, 0, &size);
  if (size == 0) return 0;
  std::vector<BYTE> buffer(size);
  if (!::GetTokenInformation(token.Get(), TokenIntegrityLevel, buffer.data(), size, &size))
    return 0;
  const auto* label = reinterpret_cast<const TOKEN_MANDATORY_LABEL*>(buffer.data());
  const UCHAR count = *::GetSidSubAuthorityCount(label->Label.Sid);
  return count == 0 ? 0 : *::GetSidSubAuthority(label->Label.Sid, count - 1);
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
    if (IntegrityOf(process.id) >= kHighIntegrityRid) return true;
  }
  return false;
}

bool StartDirect(const std::wstring& commandLine) {
  PROCESS_INFORMATION info = {};
  const bool ok = StartProcess(L"", commandLine, L"", SW_SHOWNORMAL, 0, &info);
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
                      parameters.empty() ? nullptr : parameters.c_str(), nullptr, SW_SHOWNORMAL));
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
  } else if (!version.AtLeast(6, 0)) {
    return !path.empty() && ShellOpen(path, L"\"" + url + L"\"");
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

bool LaunchAtMediumIntegrity(const std::wstring& commandLine) {
  UniqueHandle own;
  if (!::OpenProcessToken(
          ::GetCurrentProcess(),
          TOKEN_DUPLICATE | TOKEN_QUERY | TOKEN_ADJUST_DEFAULT | TOKEN_ASSIGN_PRIMARY, own.Put())) {
    log::Action(kLog, L"medium-integrity start: open own token", commandLine,
                static_cast<long>(::GetLastError()));
    return false;
  }
  UniqueHandle duplicate;
  if (!::DuplicateTokenEx(own.Get(), 0, nullptr, SecurityImpersonation, TokenPrimary,
                          duplicate.Put())) {
    log::Action(kLog, L"medium-integrity start: duplicate token", commandLine,
                static_cast<long>(::GetLastError()));
    return false;
  }
  // The integrity level alone leaves the Administrators group enabled, and
  // objects without a label (most files and keys) would still be open to the
  // browser: the group is made deny-only and the privileges dropped, so a
  // default browser that the user's registry names gets no more than the
  // user's rights.
  BYTE adminsBuffer[SECURITY_MAX_SID_SIZE] = {};
  DWORD adminsSize = sizeof(adminsBuffer);
  UniqueHandle token;
  SID_AND_ATTRIBUTES deny = {adminsBuffer, 0};
  if (!::CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, adminsBuffer, &adminsSize) ||
      !::CreateRestrictedToken(duplicate.Get(), DISABLE_MAX_PRIVILEGE, 1, &deny, 0, nullptr, 0,
                               nullptr, token.Put())) {
    log::Action(kLog, L"medium-integrity start: restrict token", commandLine,
                static_cast<long>(::GetLastError()));
    return false;
  }
  PSID medium = nullptr;
  if (!::ConvertStringSidToSidW(L"S-1-16-8192", &medium)) return false;
  UniqueLocal mediumOwner(medium);
  TOKEN_MANDATORY_LABEL label = {};
  label.Label.Attributes = SE_GROUP_INTEGRITY;
  label.Label.Sid = medium;
  if (!::SetTokenInformation(token.Get(), TokenIntegrityLevel, &label,
                             sizeof(label) + ::GetLengthSid(medium))) {
    log::Action(kLog, L"medium-integrity start: set integrity", commandLine,
                static_cast<long>(::GetLastError()));
    return false;
  }
  std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
  line.push_back(L'\0');
  STARTUPINFOW startup = {sizeof(startup)};
  PROCESS_INFORMATION info = {};
  const BOOL ok = ::CreateProcessAsUserW(token.Get(), nullptr, line.data(), nullptr, nullptr, FALSE,
                                         0, nullptr, nullptr, &startup, &info);
  const DWORD error = ok ? 0 : ::GetLastError();
  if (ok) {
    ::CloseHandle(info.hThread);
    ::CloseHandle(info.hProcess);
  }
  log::Action(kLog, L"start browser at medium integrity", commandLine, static_cast<long>(error));
  return ok != FALSE;
}

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
      return StartDirect(commandLine);
    case StartMode::kChromeRule:
      if (version.AtLeast(6, 1) && ChromeMainRunsHigh()) return StartDirect(commandLine);
      return LaunchAtMediumIntegrity(commandLine);
    case StartMode::kRunningOrMedium:
      if (IsRunning(rule.runningName)) return StartDirect(commandLine);
      return LaunchAtMediumIntegrity(commandLine);
    case StartMode::kMediumIntegrity:
    default:
      return LaunchAtMediumIntegrity(commandLine);
  }
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
