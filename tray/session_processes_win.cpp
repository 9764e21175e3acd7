#include "tray/session_processes_win.h"

#include <tlhelp32.h>

#include <vector>

#include "base/text.h"
#include "system/win_handle_win.h"

namespace lum {
namespace tray {

namespace {

// The id of the first process named `exeName` in `session`; 0 when none.
DWORD FirstInSession(const std::wstring& exeName, DWORD session) {
  UniqueFileHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return 0;
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof(entry);
  for (BOOL more = ::Process32FirstW(snapshot.Get(), &entry); more;
       more = ::Process32NextW(snapshot.Get(), &entry)) {
    DWORD owner = 0;
    if (EqualsNoCase(entry.szExeFile, exeName) &&
        ::ProcessIdToSessionId(entry.th32ProcessID, &owner) && owner == session)
      return entry.th32ProcessID;
  }
  return 0;
}

}  // namespace

bool TokenHoldsAdministrators(HANDLE token) {
  DWORD size = 0;
  ::GetTokenInformation(token, TokenGroups, nullptr, 0, &size);
  if (size == 0) return false;
  std::vector<unsigned char> buffer(size);
  if (!::GetTokenInformation(token, TokenGroups, buffer.data(), size, &size)) return false;
  SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
  PSID admins = nullptr;
  if (!::AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0,
                                  0, 0, 0, 0, 0, &admins))
    return false;
  const auto* groups = reinterpret_cast<const TOKEN_GROUPS*>(buffer.data());
  bool held = false;
  for (DWORD i = 0; i < groups->GroupCount && !held; ++i) {
    const SID_AND_ATTRIBUTES& group = groups->Groups[i];
    // A filtered token keeps the group for deny only: that shell is not elevated.
    held = ::EqualSid(group.Sid, admins) && (group.Attributes & SE_GROUP_ENABLED) != 0 &&
           (group.Attributes & SE_GROUP_USE_FOR_DENY_ONLY) == 0;
  }
  ::FreeSid(admins);
  return held;
}

bool ProcessRunsInSession(const std::wstring& exeName, DWORD session) {
  return FirstInSession(exeName, session) != 0;
}

bool ShellHoldsAdministrators(DWORD session, bool* found) {
  *found = false;
  const DWORD id = FirstInSession(L"explorer.exe", session);
  if (id == 0) return false;
  UniqueHandle process(::OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, id));
  if (!process) return false;
  UniqueHandle token;
  if (!::OpenProcessToken(process.Get(), TOKEN_QUERY, token.Put())) return false;
  *found = true;
  return TokenHoldsAdministrators(token.Get());
}

}  // namespace tray
}  // namespace lum
