#include "system/self_protection_device_win.h"

#include <windows.h>

#include "system/win_handle_win.h"

namespace lum {
namespace {

constexpr const wchar_t* kDevice = L"\\\\.\\LumSelfProtection";
constexpr DWORD kQueryProcess = 0x22204C;

}  // namespace

SelfProtectionAnswer AskSelfProtectionDriver() {
  UniqueFileHandle device(::CreateFileW(kDevice, FILE_READ_ATTRIBUTES,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                        0, nullptr));
  if (!device) return SelfProtectionAnswer::kNoDevice;
  DWORD pid = ::GetCurrentProcessId();
  DWORD answer = 0;
  DWORD returned = 0;
  const bool asked = ::DeviceIoControl(device.Get(), kQueryProcess, &pid, sizeof(pid), &answer,
                                       sizeof(answer), &returned, nullptr) != FALSE;
  return asked && returned == sizeof(answer) && answer != 0 ? SelfProtectionAnswer::kAcknowledged
                                                            : SelfProtectionAnswer::kRefused;
}

}  // namespace lum
