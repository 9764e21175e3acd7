#include "tray/service_peer_win.h"

#include <sddl.h>

#include <vector>

#include "system/win_handle_win.h"
#include "tray/session_processes_win.h"

namespace lum {
namespace tray {

namespace {

constexpr DWORD kBusyWaitMs = 3000;

}  // namespace

HANDLE OpenServicePipe(const std::wstring& pipe) {
  const DWORD flags = FILE_FLAG_OVERLAPPED | SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION;
  for (;;) {
    HANDLE handle = ::CreateFileW(pipe.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                  OPEN_EXISTING, flags, nullptr);
    if (handle != INVALID_HANDLE_VALUE || ::GetLastError() != ERROR_PIPE_BUSY) return handle;
    if (!::WaitNamedPipeW(pipe.c_str(), kBusyWaitMs)) return INVALID_HANDLE_VALUE;
  }
}

bool PipeServerImage(HANDLE client, std::wstring* image, std::wstring* why) {
  image->clear();
  using ServerProcessIdFn = BOOL(WINAPI*)(HANDLE, ULONG*);
  using ImageNameFn = BOOL(WINAPI*)(HANDLE, DWORD, wchar_t*, DWORD*);
  // Looked up, not imported: the installer still starts on Windows XP.
  const HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
  auto serverProcessId = reinterpret_cast<ServerProcessIdFn>(
      reinterpret_cast<void*>(::GetProcAddress(kernel, "GetNamedPipeServerProcessId")));
  auto imageName = reinterpret_cast<ImageNameFn>(
      reinterpret_cast<void*>(::GetProcAddress(kernel, "QueryFullProcessImageNameW")));
  if (!serverProcessId || !imageName) {
    *why = L"this Windows cannot name a pipe's server process";
    return false;
  }
  ULONG pid = 0;
  if (!serverProcessId(client, &pid) || pid == 0) {
    *why = L"server process id unreadable (error " + std::to_wstring(::GetLastError()) + L")";
    return false;
  }
  UniqueHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
  wchar_t path[MAX_PATH + 1] = {};
  DWORD length = MAX_PATH;
  if (!process || !imageName(process.Get(), 0, path, &length)) {
    *why = L"image of server process " + std::to_wstring(pid) + L" unreadable (error " +
           std::to_wstring(::GetLastError()) + L")";
    return false;
  }
  image->assign(path, length);
  return true;
}

bool PipeServerIsPrivileged(HANDLE client, std::wstring* why) {
  using ServerProcessIdFn = BOOL(WINAPI*)(HANDLE, ULONG*);
  const auto serverProcessId = reinterpret_cast<ServerProcessIdFn>(reinterpret_cast<void*>(
      ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "GetNamedPipeServerProcessId")));
  ULONG pid = 0;
  if (!serverProcessId || !serverProcessId(client, &pid) || pid == 0) {
    *why = L"server process id unreadable";
    return false;
  }
  UniqueHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
  UniqueHandle token;
  if (!process || !::OpenProcessToken(process.Get(), TOKEN_QUERY, token.Put())) {
    *why = L"account of server process " + std::to_wstring(pid) + L" unreadable (error " +
           std::to_wstring(::GetLastError()) + L")";
    return false;
  }
  DWORD size = 0;
  ::GetTokenInformation(token.Get(), TokenUser, nullptr, 0, &size);
  std::vector<unsigned char> buffer(size == 0 ? 1 : size);
  if (size == 0 || !::GetTokenInformation(token.Get(), TokenUser, buffer.data(), size, &size)) {
    *why = L"account of server process " + std::to_wstring(pid) + L" unreadable";
    return false;
  }
  const PSID user = reinterpret_cast<const TOKEN_USER*>(buffer.data())->User.Sid;
  if (::IsWellKnownSid(user, WinLocalSystemSid) || TokenHoldsAdministrators(token.Get()))
    return true;
  wchar_t* text = nullptr;
  const std::wstring account =
      ::ConvertSidToStringSidW(user, &text) ? std::wstring(text) : std::wstring(L"?");
  if (text) ::LocalFree(text);
  *why = L"server process " + std::to_wstring(pid) + L" runs as " + account +
         L", neither SYSTEM nor an administrator";
  return false;
}

}  // namespace tray
}  // namespace lum
