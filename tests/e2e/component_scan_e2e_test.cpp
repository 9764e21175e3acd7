// A first install on a machine where another product's real-time file
// monitor is registered: the product's own file monitor stays off (mode 2
// becomes 1), the monitor finds the choice left to it, and the running
// monitor is told at the end of the run with the installer's identification.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "base/text.h"
#include "system/file_ops_win.h"
#include "system/folder_tree_win.h"
#include "system/win_handle_win.h"
#include "tests/e2e/e2e_support.h"

namespace lum {
namespace {

using e2e::ReadBytes;
using e2e::ReadText;
using e2e::RegDword;
using e2e::RegString;

struct ServiceHandle {
  SC_HANDLE handle = nullptr;
  ~ServiceHandle() {
    if (handle) CloseServiceHandle(handle);
  }
};

TEST(ComponentScanE2eTest, AnotherFileMonitorKeepsOursOffAndTheMonitorIsToldWhoInstalled) {
  const std::wstring installer = e2e::InstallerPath();
  ASSERT_FALSE(installer.empty());
  wchar_t build[1024] = {};
  const DWORD n = GetEnvironmentVariableW(L"LUM_BUILD_DIR", build, 1023);
  ASSERT_TRUE(n > 0 && n < 1023);

  // Another vendor's antivirus file-system filter, registered as such.
  ServiceHandle manager, filter;
  manager.handle = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  ASSERT_NE(nullptr, manager.handle);
  filter.handle = CreateServiceW(
      manager.handle, L"OtherAvFilter", L"Other Antivirus Filter", SERVICE_ALL_ACCESS,
      SERVICE_FILE_SYSTEM_DRIVER, SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL,
      L"C:\\windows\\system32\\drivers\\otheravfilter.sys", L"FSFilter Anti-Virus", nullptr,
      nullptr, nullptr, nullptr);
  ASSERT_NE(nullptr, filter.handle) << GetLastError();

  // The product's monitor window runs (from a folder of the test's own, under
  // a name the install run does not end).
  const std::wstring folder = e2e::TempFolder() + L"lum_monitor";
  CreateFolderTree(folder);
  const std::wstring monitor = folder + L"\\monitor_stand_in.exe";
  const std::wstring calls = folder + L"\\monitor_stand_in.calls";
  ASSERT_TRUE(CopyFileW((std::wstring(build, n) + L"\\product\\safemon\\ZVSafeTray.exe").c_str(),
                        monitor.c_str(), FALSE));
  DeleteFileW(calls.c_str());
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info = {};
  std::wstring line = L"\"" + monitor + L"\" /start";
  ASSERT_TRUE(CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                             &startup, &info));
  UniqueHandle process(info.hProcess), thread(info.hThread);
  for (int i = 0; i < 100 && !FindWindowW(L"ZLumSafeMonClass", nullptr); ++i) Sleep(100);
  ASSERT_NE(nullptr, FindWindowW(L"ZLumSafeMonClass", nullptr));

  const std::wstring log = e2e::TempFolder() + L"lum_component_scan.log";
  ASSERT_EQ(0, e2e::RunProgram(installer, L"/s /pmode:2 /log:" + log)) << WideToUtf8(ReadText(log));

  EXPECT_EQ(1u, RegDword(HKEY_LOCAL_MACHINE, L"SOFTWARE\\LumBastion\\ActiveProtection", L"mode"));
  EXPECT_EQ(0u, RegDword(HKEY_LOCAL_MACHINE, L"SOFTWARE\\LumSafe\\filemon", L"AVEnable"));
  EXPECT_EQ(0u, RegDword(HKEY_LOCAL_MACHINE, L"SOFTWARE\\LumSafe\\safemon", L"HvmUserAction"));
  EXPECT_EQ(L"Other Antivirus Filter",
            RegString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\LumSafe\\safemon\\ComponentScan",
                      L"OtherAvFilter"));
  // One notification, with the identification the monitor recognises.
  EXPECT_EQ("notify 206 4C554D49\r\n", ReadBytes(calls));

  PostMessageW(FindWindowW(L"ZLumSafeMonClass", nullptr), WM_CLOSE, 0, 0);
  WaitForSingleObject(process.Get(), 10000);
  DeleteService(filter.handle);
}

}  // namespace
}  // namespace lum
