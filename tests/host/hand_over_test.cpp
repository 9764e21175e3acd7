#include "app/hand_over.h"

#include <gtest/gtest.h>

#include "base/exit_codes.h"

namespace lum {
namespace {

TEST(HandOverTest, ADeadOrUnreadableCopyIsAFailureNeverItsGarbageCode) {
  std::wstring why;
  EXPECT_EQ(kExitHandOverLost, CodeFromChildExit({false, 0}, &why));
  EXPECT_NE(std::wstring::npos, why.find(L"could not be read"));
  EXPECT_EQ(kExitHandOverLost, CodeFromChildExit({true, 259}, &why));
  EXPECT_EQ(kExitHandOverLost, CodeFromChildExit({true, 0xC0000005u}, &why));
  EXPECT_NE(std::wstring::npos, why.find(L"0xC0000005")) << why;
  EXPECT_EQ(kExitHandOverLost, CodeFromChildExit({true, 0x80000003u}, &why));
  // Killed from outside (1) or aborted (3): never one of the installer's codes.
  for (uint32_t code : {1u, 3u}) {
    EXPECT_EQ(kExitHandOverLost, CodeFromChildExit({true, code}, &why));
    EXPECT_NE(std::wstring::npos, why.find(L"killed from outside or aborted")) << why;
  }
  // What a living copy returns stands, whatever it means.
  for (uint32_t code : {0u, 111u, 119u, 505u, 0x7FFFFFFFu}) {
    EXPECT_EQ(static_cast<int>(code), CodeFromChildExit({true, code}, &why));
    EXPECT_TRUE(why.empty());
  }
}

TEST(HandOverTest, SuccessNeedsTheCopysResultAndTheFactsOfAnInstall) {
  RunResult installed;
  installed.installDir = L"C:\\Program Files (x86)\\Lum\\Bastion";
  installed.productVersion = L"10.0.0.1";
  installed.language = L"en";
  RunResult nothing;  // what a parent that never chose a folder knows
  std::wstring why;

  // The copy's own file agrees: its facts are reported.
  RunResult result = FinalRunResult(0, true, &installed, nothing, true, &why);
  EXPECT_EQ(0, result.exitCode);
  EXPECT_EQ(L"en", result.language);
  EXPECT_TRUE(why.empty());

  // Exit 0 and no result file where one was asked for: no evidence.
  result = FinalRunResult(0, true, nullptr, nothing, true, &why);
  EXPECT_EQ(kExitHandOverLost, result.exitCode);
  EXPECT_NE(std::wstring::npos, why.find(L"no result file"));
  // A file that says another code than the copy returned is not the copy's word.
  RunResult other = installed;
  other.exitCode = 119;
  EXPECT_EQ(kExitHandOverLost, FinalRunResult(0, true, &other, nothing, true, &why).exitCode);
  // A failing copy without a file keeps its own failure code.
  EXPECT_EQ(111, FinalRunResult(111, true, nullptr, nothing, true, &why).exitCode);

  // "installed" never stands beside an empty folder or version in a silent run.
  RunResult noVersion = installed;
  noVersion.productVersion.clear();
  noVersion.exitCode = 0;
  EXPECT_EQ(kExitHandOverLost, FinalRunResult(0, true, &noVersion, nothing, true, &why).exitCode);
  EXPECT_EQ(kExitHandOverLost, FinalRunResult(0, false, nullptr, nothing, true, &why).exitCode);
  EXPECT_EQ(0, FinalRunResult(0, false, nullptr, installed, true, &why).exitCode);
  // A window closed before installing keeps its 0.
  EXPECT_EQ(0, FinalRunResult(0, false, nullptr, noVersion, false, &why).exitCode);
  EXPECT_STRNE("installed", ExitCodeMeaning(kExitHandOverLost));
}

}  // namespace
}  // namespace lum
