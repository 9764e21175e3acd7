#include "tray/service_peer_win.h"

#include "system/win_handle_win.h"

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

}  // namespace tray
}  // namespace lum
