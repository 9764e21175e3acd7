// Switching the product's self-protection off with the stand-in's own tool
// (signed, trusted through the base module): a tool that does not answer
// ends the wait at its bound as a refusal, one that answers in time decides
// by its exit code.
#include "install/self_protection_win.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <mutex>
#include <string>

#include "base/install_log.h"
#include "install/process_termination_win.h"
#include "payload/resource_file_win.h"
#include "system/file_ops_win.h"
#include "system/folder_tree_win.h"
#include "system/registry_win.h"
#include "vendor/base_module_win.h"

namespace lum {
namespace {

constexpr const wchar_t* kStandInKey = L"SOFTWARE\\LumBastion\\StandIn";

void SetStandInSwitch(const wchar_t* name, DWORD value) {
  RegKey key;
  ASSERT_TRUE(key.Create(HKEY_LOCAL_MACHINE, kStandInKey, KEY_SET_VALUE, RegView::k32));
  ASSERT_TRUE(key.WriteDword(name, value));
}

void ClearStandInSwitch(const wchar_t* name) {
  RegKey key;
  if (key.Open(HKEY_LOCAL_MACHINE, kStandInKey, KEY_SET_VALUE, RegView::k32)) key.DeleteValue(name);
}

class SelfProtectionTest : public testing::Test {
 protected:
  void SetUp() override {
    if (!BaseModuleLoaded()) {
      wchar_t temp[MAX_PATH] = {};
      ::GetTempPathW(MAX_PATH, temp);
      const std::wstring folder =
          std::wstring(temp) + L"lum_self_protection_base_" + std::to_wstring(GetTickCount());
      ASSERT_TRUE(CreateProtectedFolder(folder));
      ASSERT_TRUE(WriteResourceToFile(kFileResourceType, kResBaseModule, folder + L"\\Lumbase.dll"));
      ASSERT_TRUE(LoadBaseModule(folder + L"\\Lumbase.dll"));
    }
    product_ = ParentFolder(OwnModulePath()) + L"\\product";
    ASSERT_TRUE(FileExists(product_ + L"\\safemon\\LumSPTool.exe"));
    log::SetSink([this](const std::string& line) {
      std::lock_guard<std::mutex> hold(linesLock_);
      lines_ += line + "\n";
    });
  }
  void TearDown() override {
    log::ClearSink();
    SetSelfProtectionWaitForTest(0);
    ClearStandInSwitch(L"SelfProtectionToolDelayMs");
    ClearStandInSwitch(L"SelfProtectionToolExit");
    EndAllProcesses(L"LumSPTool.exe");
  }
  std::string Lines() {
    std::lock_guard<std::mutex> hold(linesLock_);
    return lines_;
  }

  std::wstring product_;
  std::mutex linesLock_;
  std::string lines_;
};

TEST_F(SelfProtectionTest, AToolThatDoesNotAnswerIsARefusalAtTheBoundAndAnAnswerDecides) {
  SetStandInSwitch(L"SelfProtectionToolDelayMs", 30000);
  SetSelfProtectionWaitForTest(1500);
  const DWORD start = ::GetTickCount();
  EXPECT_FALSE(DisableSelfProtection(product_));
  const DWORD took = ::GetTickCount() - start;
  EXPECT_GE(took, 1400u);
  EXPECT_LT(took, 10000u) << "the wait is bounded";
  EXPECT_NE(std::string::npos, Lines().find("gave no answer within 1500 ms: counted as a refusal"))
      << Lines();
  EndAllProcesses(L"LumSPTool.exe");

  // In time: agreement lets the install go on, the refusal code stops it.
  SetStandInSwitch(L"SelfProtectionToolDelayMs", 200);
  EXPECT_TRUE(DisableSelfProtection(product_)) << Lines();
  SetStandInSwitch(L"SelfProtectionToolExit", kSelfProtectionRefused);
  EXPECT_FALSE(DisableSelfProtection(product_));
}

}  // namespace
}  // namespace lum
