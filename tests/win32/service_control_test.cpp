// Service removal against Wine's service control manager, with a dummy
// service whose program is the sleeper stand-in (never started).
#include "system/service_control_win.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <string>

#include "install/process_termination_win.h"
#include "system/file_ops_win.h"
#include "system/folder_tree_win.h"
#include "system/registry_win.h"

namespace lum {
namespace {

const std::wstring kName = L"LumScriptTestSvc";

bool CreateDummyService() {
  SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CREATE_SERVICE);
  if (!manager) return false;
  const std::wstring image =
      L"\"" + ParentFolder(OwnModulePath()) + L"\\lum_test_sleeper.exe\"";
  SC_HANDLE service = CreateServiceW(manager, kName.c_str(), kName.c_str(), SERVICE_ALL_ACCESS,
                                     SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START,
                                     SERVICE_ERROR_IGNORE, image.c_str(), nullptr, nullptr,
                                     nullptr, nullptr, nullptr);
  if (service) CloseServiceHandle(service);
  CloseServiceHandle(manager);
  return service != nullptr;
}

bool ServiceExists() {
  SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
  if (!manager) return false;
  SC_HANDLE service = OpenServiceW(manager, kName.c_str(), SERVICE_QUERY_STATUS);
  if (service) CloseServiceHandle(service);
  CloseServiceHandle(manager);
  return service != nullptr;
}

TEST(ServiceControlTest, MarkThenDeleteADummyService) {
  ASSERT_TRUE(CreateDummyService());
  ASSERT_TRUE(ServiceExists());
  {
    RegKey key;
    ASSERT_TRUE(key.Open(HKEY_LOCAL_MACHINE, ServiceKeyPath(kName), KEY_ALL_ACCESS));
    ASSERT_TRUE(key.WriteDword(L"LaunchProtected", 3));
  }
  EXPECT_TRUE(MarkServiceForRemoval(kName));
  RegKey key;
  ASSERT_TRUE(key.Open(HKEY_LOCAL_MACHINE, ServiceKeyPath(kName), KEY_QUERY_VALUE));
  DWORD value = 0;
  ASSERT_TRUE(key.ReadDword(L"Start", &value));
  EXPECT_EQ(4u, value);
  ASSERT_TRUE(key.ReadDword(L"DeleteFlag", &value));
  EXPECT_EQ(1u, value);
  EXPECT_FALSE(key.HasValue(L"LaunchProtected"));

  // Not running: the stop is refused and the delete goes ahead.
  StopAndDeleteService(kName, true);
  EXPECT_FALSE(ServiceExists());
  StopAndDeleteService(kName, true);  // missing now: ignored
}

TEST(ServiceControlTest, MarkNeedsTheServiceKeyAndItsStartType) {
  EXPECT_FALSE(MarkServiceForRemoval(L"LumNoSuchService"));
  const std::wstring bare = L"LumBareServiceKey";
  {
    RegKey key;
    ASSERT_TRUE(key.Create(HKEY_LOCAL_MACHINE, ServiceKeyPath(bare), KEY_ALL_ACCESS));
  }
  EXPECT_FALSE(MarkServiceForRemoval(bare));
  RegKey key;
  ASSERT_TRUE(key.Open(HKEY_LOCAL_MACHINE, ServiceKeyPath(bare), KEY_QUERY_VALUE));
  EXPECT_FALSE(key.HasValue(L"DeleteFlag"));
  RegKey::DeleteTree(HKEY_LOCAL_MACHINE, ServiceKeyPath(bare));
}

// A service that says it is stopping and never stops must not hold the
// removal: after the bounded wait the service is deleted anyway (marked, as
// it still runs) and the call returns.
TEST(ServiceControlTest, HungStopPendingServiceIsDeletedAfterTheBoundedWait) {
  const std::wstring name = L"LumHungStopSvc";
  {
    UniqueScHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CREATE_SERVICE));
    ASSERT_TRUE(manager.Valid());
    const std::wstring image =
        L"\"" + ParentFolder(OwnModulePath()) + L"\\lum_test_sleeper.exe\" --hung-service";
    UniqueScHandle service(CreateServiceW(manager.Get(), name.c_str(), name.c_str(),
                                          SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                                          SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE,
                                          image.c_str(), nullptr, nullptr, nullptr, nullptr,
                                          nullptr));
    ASSERT_TRUE(service.Valid());
    ASSERT_TRUE(StartServiceW(service.Get(), 0, nullptr)) << GetLastError();
    SERVICE_STATUS status = {};
    for (int i = 0; i < 100 && QueryServiceStatus(service.Get(), &status) &&
                    status.dwCurrentState != SERVICE_RUNNING;
         ++i)
      Sleep(100);
    ASSERT_EQ(static_cast<DWORD>(SERVICE_RUNNING), status.dwCurrentState);
  }
  const ULONGLONG started = GetTickCount64();
  StopAndDeleteService(name, true);
  const ULONGLONG waited = GetTickCount64() - started;
  // Figures only (no timing assertion): how long the bounded wait took.
  std::printf("stop-pending wait before the delete: %llu ms (limit %lu ms)\n", waited,
              kStopPendingLimitMs);
  UniqueScHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
  UniqueScHandle service(OpenServiceW(manager.Get(), name.c_str(), SERVICE_QUERY_STATUS | DELETE));
  if (service) {
    EXPECT_FALSE(DeleteService(service.Get()));
    EXPECT_EQ(static_cast<DWORD>(ERROR_SERVICE_MARKED_FOR_DELETE), GetLastError());
  }
  EndAllProcesses(L"lum_test_sleeper.exe");
}

}  // namespace
}  // namespace lum
