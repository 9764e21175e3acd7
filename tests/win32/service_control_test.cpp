// Service removal against Wine's service control manager, with a dummy
// service whose program is the sleeper stand-in (never started).
#include "system/service_control_win.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

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

}  // namespace
}  // namespace lum
