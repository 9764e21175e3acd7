#include "system/user_rights_start_win.h"

#include <windows.h>
// sddl.h builds on windows.h.
#include <sddl.h>

#include <vector>

#include "base/install_log.h"
#include "system/file_ops_win.h"
#include "system/system_library_win.h"
#include "system/win_handle_win.h"
#include "system/windows_version_win.h"

namespace lum {

namespace {

bool Refused(const char* logTag, const wchar_t* step, const std::wstring& commandLine) {
  const DWORD error = ::GetLastError();
  log::Action(logTag, std::wstring(L"medium-integrity start: ") + step, commandLine,
              static_cast<long>(error));
  ::SetLastError(error);
  return false;
}

}  // namespace

bool LaunchAtMediumIntegrity(const std::wstring& commandLine, const std::wstring& folder,
                             const char* logTag) {
  UniqueHandle own;
  if (!::OpenProcessToken(
          ::GetCurrentProcess(),
          TOKEN_DUPLICATE | TOKEN_QUERY | TOKEN_ADJUST_DEFAULT | TOKEN_ASSIGN_PRIMARY, own.Put()))
    return Refused(logTag, L"open own token", commandLine);
  // The user's own limited token, where the system hands out a usable one
  // (an elevated administrator's linked token; Windows gives callers without
  // the trusted-computing-base privilege only an identification token, which
  // cannot become primary); else the installer's token, restricted below.
  UniqueHandle duplicate;
  TOKEN_LINKED_TOKEN linked = {};
  DWORD size = 0;
  if (GetWindowsVersion().AtLeast(6, 0) &&
      ::GetTokenInformation(own.Get(), TokenLinkedToken, &linked, sizeof(linked), &size)) {
    UniqueHandle limited(linked.LinkedToken);
    TOKEN_ELEVATION_TYPE type = TokenElevationTypeDefault;
    if (!::GetTokenInformation(limited.Get(), TokenElevationType, &type, sizeof(type), &size) ||
        type != TokenElevationTypeLimited ||
        !::DuplicateTokenEx(limited.Get(), 0, nullptr, SecurityImpersonation, TokenPrimary,
                            duplicate.Put()))
      duplicate.Reset();
  }
  if (!duplicate &&
      !::DuplicateTokenEx(own.Get(), 0, nullptr, SecurityImpersonation, TokenPrimary,
                          duplicate.Put()))
    return Refused(logTag, L"duplicate token", commandLine);
  // The integrity level alone leaves the Administrators group enabled, and
  // objects without a label (most files and keys) would still be open to the
  // program: the group is made deny-only and the privileges dropped, so the
  // program gets no more than the user's rights.
  BYTE adminsBuffer[SECURITY_MAX_SID_SIZE] = {};
  DWORD adminsSize = sizeof(adminsBuffer);
  UniqueHandle token;
  SID_AND_ATTRIBUTES deny = {adminsBuffer, 0};
  if (!::CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, adminsBuffer, &adminsSize) ||
      !::CreateRestrictedToken(duplicate.Get(), DISABLE_MAX_PRIVILEGE, 1, &deny, 0, nullptr, 0,
                               nullptr, token.Put()))
    return Refused(logTag, L"restrict token", commandLine);
  if (GetWindowsVersion().AtLeast(6, 0)) {
    PSID medium = nullptr;
    if (!::ConvertStringSidToSidW(L"S-1-16-8192", &medium))
      return Refused(logTag, L"integrity SID", commandLine);
    UniqueLocal mediumOwner(medium);
    TOKEN_MANDATORY_LABEL label = {};
    label.Label.Attributes = SE_GROUP_INTEGRITY;
    label.Label.Sid = medium;
    if (!::SetTokenInformation(token.Get(), TokenIntegrityLevel, &label,
                               sizeof(label) + ::GetLengthSid(medium)))
      return Refused(logTag, L"set integrity", commandLine);
  }
  std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
  line.push_back(L'\0');
  STARTUPINFOW startup = {sizeof(startup)};
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOWNORMAL;
  PROCESS_INFORMATION info = {};
  const BOOL ok = ::CreateProcessAsUserW(token.Get(), nullptr, line.data(), nullptr, nullptr, FALSE,
                                         0, nullptr, folder.empty() ? nullptr : folder.c_str(),
                                         &startup, &info);
  const DWORD error = ok ? 0 : ::GetLastError();
  if (ok) {
    ::CloseHandle(info.hThread);
    ::CloseHandle(info.hProcess);
  }
  log::Action(logTag, L"start at medium integrity", commandLine, static_cast<long>(error));
  ::SetLastError(error);
  return ok != FALSE;
}

std::wstring NeutralFolderFor(const std::wstring& program) {
  std::wstring path = program;
  if (path.size() >= 2 && path.front() == L'"' && path.back() == L'"')
    path = path.substr(1, path.size() - 2);
  const size_t slash = path.find_last_of(L"\\/");
  if (slash != std::wstring::npos && slash > 0) {
    const std::wstring folder = path.substr(0, slash);
    if (FolderExists(folder)) return folder;
  }
  const std::wstring system = SystemFolderFile(L"");
  return system.size() > 1 ? system.substr(0, system.size() - 1) : std::wstring();
}

}  // namespace lum
