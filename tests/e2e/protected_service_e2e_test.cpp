// The protected service on a prefix that reports Windows 10 1709 or later:
// registered from its record by "safemon\WscReg.exe", started with
// "install" and waited for through its finish event, on a first install and
// again on a reinstall.
#include <gtest/gtest.h>
#include <windows.h>
// These build on windows.h.
#include <sddl.h>

#include <cwctype>
#include <string>

#include "base/text.h"
#include "system/named_object_rights_win.h"
#include "system/product_location_win.h"
#include "system/registry_win.h"
#include "system/windows_version_win.h"
#include "tests/e2e/e2e_support.h"
#include "tests/e2e/service_support.h"

namespace lum {
namespace {

using namespace e2e;

constexpr const wchar_t* kKey = L"SYSTEM\\CurrentControlSet\\Services\\ZVProtected";

class ProtectedServiceE2eTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    // Every program started from now on in this prefix sees Windows 10.
    RegKey wine;
    if (wine.Create(HKEY_CURRENT_USER, L"Software\\Wine", KEY_SET_VALUE))
      wine.WriteString(L"Version", L"win10");
  }
  void SetUp() override {
    installer_ = InstallerPath();
    if (installer_.empty()) GTEST_SKIP() << "LUM_INSTALLER is not set";
    log_ = TempFolder() + L"lum_protected_e2e.log";
    DeleteFileW(log_.c_str());
  }
  int Install() { return RunProgram(installer_, L"/s /log:" + log_); }
  std::wstring Log() const { return ReadText(log_); }

  std::wstring installer_, log_;
};

// The length the log gives a prescribed wait of that name; -1 when absent.
long WaitedMs(const std::wstring& log, const std::wstring& name) {
  const std::wstring tail = L" ms: " + name;
  const size_t at = log.find(tail);
  if (at == std::wstring::npos) return -1;
  size_t begin = at;
  while (begin > 0 && iswdigit(log[begin - 1])) --begin;
  return begin == at ? -1 : std::stol(log.substr(begin, at - begin));
}

TEST_F(ProtectedServiceE2eTest, RegisteredStartedAndAwaitedOnWindows10AndAgainOnAReinstall) {
  ASSERT_EQ(0, Install()) << WideToUtf8(Log());
  const std::wstring dir = DefaultInstallDir();
  EXPECT_EQ(L"ZVProtected", RegString(HKEY_LOCAL_MACHINE, kKey, L"DisplayName"));
  EXPECT_EQ(L"\"" + dir + L"\\safemon\\WscReg.exe\"", RegString(HKEY_LOCAL_MACHINE, kKey, L"ImagePath"));
  EXPECT_EQ(3u, RegDword(HKEY_LOCAL_MACHINE, kKey, L"Start"));
  EXPECT_EQ(16u, RegDword(HKEY_LOCAL_MACHINE, kKey, L"Type"));
  EXPECT_EQ(L"TDI", RegString(HKEY_LOCAL_MACHINE, kKey, L"Group"));
  EXPECT_EQ(L"LocalSystem", RegString(HKEY_LOCAL_MACHINE, kKey, L"ObjectName"));
  EXPECT_EQ(L"-;", Calls(L"safemon\\WscReg.exe!/installsrv"));
  EXPECT_EQ(L"install;", Calls(L"safemon\\WscReg.exe!service"));
  EXPECT_EQ(static_cast<DWORD>(SERVICE_RUNNING), ServiceState(L"ZVProtected"));
  std::wstring log = Log();
  EXPECT_NE(std::wstring::npos, log.find(L"wait for the install finish event | ZVProtected | 0"))
      << WideToUtf8(log);
  // Active defense comes up after it.
  EXPECT_EQ(static_cast<DWORD>(SERVICE_RUNNING), ServiceState(L"ZVActiveDefense"));

  // The reinstall's action script has the registrar remove the service
  // first; it is registered and started again. The finish event is left
  // signalled (as an earlier start may leave it, with the rights either side
  // gives it) and the service takes 3 s to finish: only its own answer may
  // end the installer's wait.
  PSECURITY_DESCRIPTOR shared = nullptr;
  ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(
      kSharedObjectSddl, SDDL_REVISION_1, &shared, nullptr));
  SECURITY_ATTRIBUTES attributes = {sizeof(attributes), shared, FALSE};
  HANDLE stale =
      CreateEventW(&attributes, TRUE, TRUE, L"Global\\5D605A2B-ACDE-49cd-9642-7B268923ACD9__");
  LocalFree(shared);
  ASSERT_NE(nullptr, stale);
  ASSERT_TRUE(SetStandInSwitch(L"ProtectedServiceFinishDelayMs", 3000));
  DeleteFileW(log_.c_str());
  ForgetCalls();
  ASSERT_EQ(0, Install()) << WideToUtf8(Log());
  ClearStandInSwitch(L"ProtectedServiceFinishDelayMs");
  CloseHandle(stale);
  EXPECT_GE(WaitedMs(Log(), L"protected service finish event"), 2500) << WideToUtf8(Log());
  EXPECT_EQ(L"install;", Calls(L"safemon\\WscReg.exe!service"));
  EXPECT_EQ(static_cast<DWORD>(SERVICE_RUNNING), ServiceState(L"ZVProtected"));
  log = Log();
  EXPECT_NE(std::wstring::npos, log.find(L"wait for the install finish event | ZVProtected | 0"))
      << WideToUtf8(log);
}

}  // namespace
}  // namespace lum
