// A tray service that takes the installer's request and never answers must
// not hold the install: registration and every later call end with -4 once
// their deadline passes, and the next request connects anew.
#include <gtest/gtest.h>
#include <windows.h>

#include <mutex>
#include <string>
#include <vector>

#include "base/install_log.h"
#include "base/text.h"
#include "install/trusted_launch_win.h"
#include "payload/resource_file_win.h"
#include "system/file_ops_win.h"
#include "system/product_location_win.h"
#include "system/registry_win.h"
#include "system/win_handle_win.h"
#include "tray/launch_rules.h"
#include "tray/pipe_names.h"
#include "tray/tray_link_win.h"
#include "tray/call_deadline_win.h"
#include "tray/volume_serial_win.h"
#include "vendor/base_module_win.h"

namespace lum {
namespace tray {
namespace {

std::wstring BuildFolder() {
  std::wstring folder = OwnModulePath();
  folder.resize(folder.find_last_of(L'\\'));
  return folder;
}

// The installed service program as a peer that takes two clients and never
// reads or answers a byte (the request waits in the pipe's buffer). The
// program is the one the link talks to: the service of the install folder
// (App Paths names the build's product folder for the test), trusted by the
// base module, which this elevated process loads from a protected folder.
class SilentService {
 public:
  SilentService() {
    const std::wstring product = BuildFolder() + L"\\product";
    RegKey appPaths;
    recorded_ = appPaths.Create(HKEY_LOCAL_MACHINE, kMainProgramAppPathsKey, KEY_SET_VALUE,
                                RegView::k32) &&
                appPaths.WriteString(L"Path", product);
    if (!BaseModuleLoaded()) {
      const std::wstring folder = BuildFolder() + L"\\tray_deadline_base_" +
                                  std::to_wstring(GetTickCount());
      if (CreateProtectedFolder(folder) &&
          WriteResourceToFile(kFileResourceType, kResBaseModule, folder + L"\\Lumbase.dll"))
        LoadBaseModule(folder + L"\\Lumbase.dll");
    }
    const std::wstring exe = product + L"\\safemon\\ZVTrayService.exe";
    std::wstring line = L"\"" + exe + L"\" /peer:silent";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    if (CreateProcessW(exe.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                       &startup, &info)) {
      process_.Reset(info.hProcess);
      CloseHandle(info.hThread);
    }
    const std::wstring pipe = L"\\\\.\\pipe\\" + ServicePipeName(SystemVolumeSerial());
    for (int n = 0; n < 100 && !WaitNamedPipeW(pipe.c_str(), 100); ++n) Sleep(100);
  }
  ~SilentService() {
    if (process_) TerminateProcess(process_.Get(), 0);
    RegKey::DeleteTree(HKEY_LOCAL_MACHINE, kMainProgramAppPathsKey, RegView::k32);
  }
  bool Ready() const { return recorded_ && process_ && BaseModuleLoaded(); }

 private:
  bool recorded_ = false;
  UniqueHandle process_;
};

TEST(TrayDeadlineTest, ServiceThatNeverAnswersEndsRegistrationWithTransportError) {
  SilentService service;
  ASSERT_TRUE(service.Ready());
  static std::mutex lock;
  static std::wstring lines;
  log::SetSink([](const std::string& line) {
    std::lock_guard<std::mutex> hold(lock);
    lines += Utf8ToWide(line) + L"\n";
  });
  ReleaseTrayLink();
  ASSERT_TRUE(StartTrayLink(IsTrustedImage));
  const ULONGLONG started = GetTickCount64();
  EXPECT_EQ(kTrayTransportError, Connect());
  EXPECT_FALSE(LinkConnected());
  // The link was dropped: the next request connects again, and fails the same way.
  EXPECT_EQ(kTrayTransportError, Connect());
  const ULONGLONG elapsed = GetTickCount64() - started;
  log::ClearSink();
  // Both ended by the deadline of the registration, not refused at the door.
  std::lock_guard<std::mutex> hold(lock);
  size_t late = 0;
  for (size_t at = lines.find(L"did not answer the registration in time");
       at != std::wstring::npos; at = lines.find(L"did not answer the registration in time", at + 1))
    ++late;
  EXPECT_EQ(2u, late) << WideToUtf8(lines);
  EXPECT_GE(elapsed, 2 * kTrayCallLimitMs - 500);
  StopTrayLink();
}

}  // namespace
}  // namespace tray
}  // namespace lum
