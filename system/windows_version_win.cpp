#include "system/windows_version_win.h"

#include <sddl.h>
#include <shlobj.h>

#include <cwchar>
#include <vector>

#include "base/text.h"
#include "system/win_handle_win.h"

namespace lum {

namespace {

using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOEXW*);

WindowsVersion ReadVersion() {
  WindowsVersion version;
  OSVERSIONINFOEXW info = {};
  info.dwOSVersionInfoSize = sizeof(info);
  HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  auto rtlGetVersion =
      ntdll ? reinterpret_cast<RtlGetVersionFn>(::GetProcAddress(ntdll, "RtlGetVersion")) : nullptr;
  if (rtlGetVersion && rtlGetVersion(&info) == 0) {
    version.major = info.dwMajorVersion;
    version.minor = info.dwMinorVersion;
    version.build = info.dwBuildNumber;
    version.productType = info.wProductType;
  }
  return version;
}

}  // namespace

WindowsVersion GetWindowsVersion() {
  static const WindowsVersion version = ReadVersion();
  return version;
}

bool IsWow64() {
  BOOL wow64 = FALSE;
  using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);
  auto isWow64Process = reinterpret_cast<IsWow64ProcessFn>(
      ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "IsWow64Process"));
  return isWow64Process && isWow64Process(::GetCurrentProcess(), &wow64) && wow64;
}

bool Is64BitWindows() { return sizeof(void*) == 8 || IsWow64(); }

bool IsNativeX64OrIa64() {
  SYSTEM_INFO info = {};
  ::GetNativeSystemInfo(&info);
  return info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64 ||
         info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_IA64;
}

bool IsAtLeastBuild(const std::wstring& dotted) {
  const WindowsVersion version = GetWindowsVersion();
  const unsigned long have[3] = {version.major, version.minor, version.build};
  const std::vector<std::wstring> parts = Split(dotted, L'.', false);
  for (size_t i = 0; i < 3 && i < parts.size(); ++i) {
    const unsigned long want = std::wcstoul(parts[i].c_str(), nullptr, 10);
    if (have[i] != want) return have[i] > want;
  }
  return true;
}

std::wstring OsText() {
  const WindowsVersion version = GetWindowsVersion();
  return std::to_wstring(version.major) + L"." + std::to_wstring(version.minor) +
         (Is64BitWindows() ? L"-x64" : L"-x86");
}

bool TokenIsAdmin() { return ::IsUserAnAdmin() != FALSE; }

bool TokenIsElevated() {
  UniqueHandle token;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.Put())) return false;
  TOKEN_ELEVATION elevation = {};
  DWORD size = 0;
  if (!::GetTokenInformation(token.Get(), TokenElevation, &elevation, sizeof(elevation), &size))
    return false;
  return elevation.TokenIsElevated != 0;
}

bool TokenInAdministratorsGroup() {
  SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
  PSID administrators = nullptr;
  if (!::AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0,
                                  0, 0, 0, 0, 0, &administrators))
    return false;
  BOOL member = FALSE;
  BOOL ok = ::CheckTokenMembership(nullptr, administrators, &member);
  ::FreeSid(administrators);
  return ok && member;
}

std::wstring CurrentUserSidString() {
  UniqueHandle token;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.Put())) return std::wstring();
  DWORD size = 0;
  ::GetTokenInformation(token.Get(), TokenUser, nullptr, 0, &size);
  if (size == 0) return std::wstring();
  std::vector<BYTE> buffer(size);
  if (!::GetTokenInformation(token.Get(), TokenUser, buffer.data(), size, &size))
    return std::wstring();
  wchar_t* text = nullptr;
  if (!::ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &text))
    return std::wstring();
  UniqueLocal owner(text);
  return text;
}

}  // namespace lum
