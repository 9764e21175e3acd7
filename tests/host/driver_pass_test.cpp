#include "install/driver_pass.h"

#include <gtest/gtest.h>

#include "system/platform_support.h"

namespace lum {
namespace {

TEST(DriverPassTest, PlatformRulesRefuseOld64BitAndServerAnd32BitXpBelowSp2) {
  EXPECT_FALSE(DriverPlatformRule(true, 6, 0));   // 64-bit Vista
  EXPECT_FALSE(DriverPlatformRule(true, 5, 2));   // XP x64 / 2003 x64
  EXPECT_TRUE(DriverPlatformRule(true, 6, 1));
  EXPECT_TRUE(DriverPlatformRule(true, 10, 0));
  EXPECT_FALSE(DriverPlatformRule(false, 5, 2));  // 32-bit 2003
  EXPECT_TRUE(DriverPlatformRule(false, 5, 1));
  EXPECT_TRUE(DriverPlatformRule(false, 6, 0));

  EXPECT_FALSE(SandboxPlatformRule(true, 6, 0, L""));
  EXPECT_TRUE(SandboxPlatformRule(true, 6, 1, L""));
  EXPECT_TRUE(SandboxPlatformRule(false, 6, 0, L""));
  EXPECT_TRUE(SandboxPlatformRule(false, 5, 1, L"SERVICE PACK 3"));
  EXPECT_TRUE(SandboxPlatformRule(false, 5, 1, L"Service Pack 2"));
  EXPECT_FALSE(SandboxPlatformRule(false, 5, 1, L"Service Pack 1"));
  EXPECT_FALSE(SandboxPlatformRule(false, 5, 1, L""));
  EXPECT_FALSE(SandboxPlatformRule(false, 5, 0, L"Service Pack 4"));
}

TEST(DriverPassTest, JoinedModulePathMustFitIn260WithItsTerminator) {
  EXPECT_EQ(L"C:\\P\\ipc\\sbmon.dll", JoinModulePath(L"C:\\P", L"ipc\\sbmon.dll"));
  EXPECT_EQ(L"C:\\P\\ipc\\sbmon.dll", JoinModulePath(L"C:\\P\\", L"ipc\\sbmon.dll"));
  EXPECT_EQ(L"", JoinModulePath(L"", L"ipc\\sbmon.dll"));
  const std::wstring rel = L"ipc\\sbmon.dll";  // 13 characters
  const std::wstring fits(259 - 1 - rel.size(), L'a');
  EXPECT_EQ(259u, JoinModulePath(fits, rel).size());
  EXPECT_EQ(L"", JoinModulePath(fits + L"a", rel));
}

TEST(DriverPassTest, ModuleStepsFollowThePlatform) {
  DriverPassFacts win7x64{true, true, true};
  std::vector<ModuleStep> steps = PlanModuleSteps(win7x64);
  ASSERT_EQ(6u, steps.size());
  EXPECT_EQ("InstallDriverForLumSafeSetup", steps[0].entry);
  EXPECT_TRUE(steps[0].run);
  EXPECT_TRUE(steps[1].integerArgument);
  EXPECT_EQ(L"LumAvFlt", steps[1].driverServiceKey);
  EXPECT_FALSE(steps[2].run);  // the loader driver is 32-bit only
  EXPECT_TRUE(steps[2].skipSucceeds);
  EXPECT_TRUE(steps[3].run);
  EXPECT_EQ(EntrySuccess::kReturnsZero, steps[4].success);
  EXPECT_EQ(L"Lumnetmon", steps[4].driverServiceKey);
  EXPECT_EQ("InstallEx64", steps[5].entry);

  // 64-bit Vista: no driver module runs, and each step reports success; the
  // engine module still runs; the sandbox is refused.
  steps = PlanModuleSteps(DriverPassFacts{false, true, false});
  for (int i : {0, 1, 2, 4}) {
    EXPECT_FALSE(steps[i].run) << i;
    EXPECT_TRUE(steps[i].skipSucceeds) << i;
  }
  EXPECT_TRUE(steps[1].followUpAlways);
  EXPECT_TRUE(steps[3].run);
  EXPECT_FALSE(steps[5].run);

  steps = PlanModuleSteps(DriverPassFacts{true, false, true});  // 32-bit
  EXPECT_TRUE(steps[2].run);
  EXPECT_TRUE(steps[2].pinned);
  EXPECT_EQ("InstallEx32", steps[5].entry);
}

}  // namespace
}  // namespace lum
