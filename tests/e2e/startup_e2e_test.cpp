// The real installer started as a separate process: relocation, the single
// instance, the compatibility-layer restart and the exit codes they report.
//
// LUM_INSTALLER names the installer: a Unix path (converted with Wine's
// wine_get_dos_file_name) or a Windows path.
#include <gtest/gtest.h>
#include <windows.h>

#include <set>
#include <string>
#include <vector>

#include "app/session_environment_win.h"
#include "app/startup_win.h"
#include "base/exit_codes.h"
#include "base/text.h"
#include "install/pre_install_checks_win.h"
#include "system/file_ops_win.h"
#include "system/product_location_win.h"
#include "system/registry_win.h"
#include "system/win_handle_win.h"
#include "tests/e2e/e2e_support.h"

namespace lum {
namespace {

using e2e::Count;
using e2e::InstallerPath;
using e2e::ReadText;
using e2e::RunProgram;
using e2e::TempFolder;


// Names "<digits>_<digits>" directly under the relocation parent.
std::set<std::wstring> NumberedFolders() {
  std::set<std::wstring> names;
  WIN32_FIND_DATAW data;
  UniqueFindHandle find(FindFirstFileW((RelocationParent() + L"\\*_*").c_str(), &data));
  if (!find) return names;
  do {
    const std::wstring name = data.cFileName;
    if (name.find_first_not_of(L"0123456789_") == std::wstring::npos) names.insert(name);
  } while (FindNextFileW(find.Get(), &data));
  return names;
}

class StartupE2eTest : public ::testing::Test {
 protected:
  void SetUp() override {
    installer_ = InstallerPath();
    if (installer_.empty()) GTEST_SKIP() << "LUM_INSTALLER is not set";
    const std::wstring tag = std::to_wstring(GetCurrentProcessId());
    download_ = TempFolder() + L"lum_e2e_download_" + tag;
    DeleteFolderTree(download_);
    ASSERT_TRUE(CreateDirectoryW(download_.c_str(), nullptr));
    copy_ = download_ + L"\\LumBastionSetup.exe";
    ASSERT_TRUE(CopyFileW(installer_.c_str(), copy_.c_str(), FALSE));
    log_ = download_ + L"\\run.log";
  }
  void TearDown() override {
    if (!download_.empty()) DeleteFolderTree(download_);
  }
  std::wstring LogSwitch() const { return L"/log:" + log_; }

  std::wstring installer_, download_, copy_, log_;
};

TEST_F(StartupE2eTest, DownloadedInstallerRunsRelocatedCopyAndReportsItsExitCode) {
  const std::set<std::wstring> before = NumberedFolders();
  const std::wstring tail = L"/s " + LogSwitch();
  EXPECT_EQ(kExitInstalled, RunProgram(copy_, tail));

  const std::wstring log = ReadText(log_);
  // The copy ran from a numbered folder under Program Files with the same
  // tail, told to leave its result file in that folder.
  const std::wstring expected = L"\\LumBastionSetup.exe\" " + tail + L" \"/result:" +
                                RelocationParent() + L"\\";
  const size_t ran = log.find(expected);
  EXPECT_NE(std::wstring::npos, ran) << log;
  const size_t end = log.find(L"\\result.json\" /BNinstall | 0", ran);
  ASSERT_NE(std::wstring::npos, end) << log;
  if (ran != std::wstring::npos) {
    // Directly in the numbered folder.
    const std::wstring folder = log.substr(ran + expected.size(), end - ran - expected.size());
    EXPECT_TRUE(!folder.empty() && folder.find_first_of(L"\\ ") == std::wstring::npos) << log;
  }
  EXPECT_NE(std::wstring::npos, log.find(L"relocate: relocated copy finished")) << log;
  EXPECT_NE(std::wstring::npos, log.find(RelocationParent() + L"\\")) << log;
  // The copy itself did the install; the original took no mutex of its own.
  EXPECT_EQ(1u, Count(log, L"take instance mutex")) << log;
  // Nothing is left under Program Files.
  EXPECT_EQ(before, NumberedFolders());
}

TEST_F(StartupE2eTest, RelocatedCopyFindingAConflictingProductReportsItsCode) {
  // A partner antivirus whose uninstaller exists: the relocated copy stops at
  // its silent checks, and the original must hand that code on.
  const std::wstring key = std::wstring(kUninstallRoot) + L"Warden Antivirus";
  {
    RegKey uninstall;
    ASSERT_TRUE(uninstall.Create(HKEY_LOCAL_MACHINE, key, KEY_ALL_ACCESS));
    ASSERT_TRUE(uninstall.WriteString(L"UninstallString", L"\"" + copy_ + L"\" /uninstall"));
  }
  const int code = RunProgram(copy_, L"/s " + LogSwitch());
  RegKey::DeleteTree(HKEY_LOCAL_MACHINE, key);

  EXPECT_EQ(kExitConflictWarden, code);
  const std::wstring log = ReadText(log_);
  EXPECT_NE(std::wstring::npos, log.find(L"relocate: relocated copy finished")) << log;
  EXPECT_NE(std::wstring::npos, log.find(L" | 504")) << log;
}

// The tests below hold the instance mutex themselves: every run then ends at
// the mutex with 105, fast and whatever an earlier test installed, and the log
// shows what happened before it.
class HeldMutexE2eTest : public StartupE2eTest {
 protected:
  void SetUp() override {
    StartupE2eTest::SetUp();
    held_.Reset(CreateMutexW(nullptr, TRUE, kInstanceMutexName));
    ASSERT_TRUE(held_.Valid());
  }
  UniqueHandle held_;
};

TEST_F(HeldMutexE2eTest, RelocatedCopyMeetingAnotherInstanceReports105) {
  // The original hands over before it takes the mutex; the copy meets it and
  // its 105 must reach the deployment tool, not a 0 for "the copy ran".
  const std::set<std::wstring> before = NumberedFolders();
  EXPECT_EQ(kExitOtherInstance, RunProgram(copy_, L"/s " + LogSwitch()));
  const std::wstring log = ReadText(log_);
  EXPECT_NE(std::wstring::npos, log.find(L"relocate: relocated copy finished")) << log;
  EXPECT_EQ(1u, Count(log, L"another installer holds the instance mutex")) << log;
  EXPECT_EQ(before, NumberedFolders());
}

TEST_F(HeldMutexE2eTest, RelocationSwitchInAnyCaseRunsInPlace) {
  const std::set<std::wstring> before = NumberedFolders();
  EXPECT_EQ(kExitOtherInstance, RunProgram(copy_, L"/s /bninstall " + LogSwitch()));
  EXPECT_EQ(kExitOtherInstance, RunProgram(copy_, L"/s /BNINSTALL " + LogSwitch()));
  const std::wstring log = ReadText(log_);
  EXPECT_EQ(std::wstring::npos, log.find(L"relocate:")) << log;
  EXPECT_EQ(2u, Count(log, L"another installer holds the instance mutex")) << log;
  EXPECT_EQ(before, NumberedFolders());
}

TEST_F(HeldMutexE2eTest, InstallerInsideTheProductFolderRunsInPlace) {
  const std::wstring product = download_ + L"\\Product";
  ASSERT_TRUE(CreateDirectoryW(product.c_str(), nullptr));
  const std::wstring inside = product + L"\\LumBastionSetup.exe";
  ASSERT_TRUE(CopyFileW(installer_.c_str(), inside.c_str(), FALSE));
  // Keep an earlier install's App Paths entry to restore it afterwards.
  std::wstring previous;
  bool hadPrevious = false;
  {
    RegKey appPaths;
    if (appPaths.Open(HKEY_LOCAL_MACHINE, kMainProgramAppPathsKey, KEY_QUERY_VALUE, RegView::k32))
      hadPrevious = appPaths.ReadString(L"Path", &previous);
  }
  {
    RegKey appPaths;
    ASSERT_TRUE(appPaths.Create(HKEY_LOCAL_MACHINE, kMainProgramAppPathsKey, KEY_ALL_ACCESS, RegView::k32));
    ASSERT_TRUE(appPaths.WriteString(L"Path", product));
  }
  const int code = RunProgram(inside, L"/s " + LogSwitch());
  {
    RegKey appPaths;
    if (appPaths.Open(HKEY_LOCAL_MACHINE, kMainProgramAppPathsKey, KEY_ALL_ACCESS, RegView::k32)) {
      if (hadPrevious) appPaths.WriteString(L"Path", previous);
      else appPaths.DeleteValue(L"Path");
    }
  }
  EXPECT_EQ(kExitOtherInstance, code);
  const std::wstring log = ReadText(log_);
  EXPECT_NE(std::wstring::npos, log.find(L"relocate: already inside the product folder")) << log;
  EXPECT_EQ(std::wstring::npos, log.find(L"relocate: copy installer")) << log;
}

TEST_F(HeldMutexE2eTest, SecondInstanceExits105SilentlyAndInteractively) {
  EXPECT_EQ(kExitOtherInstance, RunProgram(copy_, L"/s /BNinstall " + LogSwitch()));
  // Interactive: no window of the other installer to bring forward, same code.
  EXPECT_EQ(kExitOtherInstance, RunProgram(copy_, L"/BNinstall " + LogSwitch()));
  const std::wstring log = ReadText(log_);
  EXPECT_EQ(2u, Count(log, L"another installer holds the instance mutex")) << log;
  EXPECT_EQ(std::wstring::npos, log.find(L"install procedure")) << log;
}

TEST_F(HeldMutexE2eTest, CompatibilityLayerIsRemovedAndAnElevatedRunStartsNothingAgain) {
  {
    RegKey layers;
    ASSERT_TRUE(layers.Create(HKEY_CURRENT_USER, kCompatLayersKey, KEY_ALL_ACCESS));
    ASSERT_TRUE(layers.WriteString(copy_, L"~ WINXPSP3"));
  }
  const std::wstring tail = L"/s /BNinstall " + LogSwitch();
  EXPECT_EQ(kExitOtherInstance, RunProgram(copy_, tail));

  RegKey layers;
  ASSERT_TRUE(layers.Open(HKEY_CURRENT_USER, kCompatLayersKey, KEY_QUERY_VALUE));
  EXPECT_FALSE(layers.HasValue(copy_));
  const std::wstring log = ReadText(log_);
  EXPECT_NE(std::wstring::npos, log.find(L"delete compatibility layer")) << log;
  // Under Wine every run is elevated: the file the user could have changed
  // is not started again, and the run itself goes on to the mutex.
  EXPECT_NE(std::wstring::npos,
            log.find(L"compatibility layer removed; an elevated run is not started again | " +
                     copy_ + L" | 0"))
      << log;
  EXPECT_EQ(std::wstring::npos, log.find(L"restart without compatibility layer")) << log;
  EXPECT_EQ(1u, Count(log, L"another installer holds the instance mutex")) << log;
}

}  // namespace
}  // namespace lum
