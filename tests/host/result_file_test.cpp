#include "app/result_file.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <set>
#include <sstream>

#include "base/exit_codes.h"

namespace lum {
namespace {

TEST(ResultFileTest, RoundTripsPathsWithQuotesAndNonAsciiAndRefusesForeignObjects) {
  RunResult result;
  result.exitCode = 117;
  result.rebootRequired = true;
  result.installDir = L"C:\\Program Files (x86)\\\x041B\x0443\x043C \"Bastion\"";
  result.logFile = L"C:\\t\\log.txt";
  result.language = L"zh-CN";
  result.durationMs = 1ull << 40;
  const std::string json = FormatRunResult(result);
  EXPECT_EQ(std::string::npos, json.find('\n'));
  RunResult back;
  ASSERT_TRUE(ParseRunResult(json, &back)) << json;
  EXPECT_EQ(result.installDir, back.installDir);
  EXPECT_EQ(result.durationMs, back.durationMs);
  EXPECT_TRUE(back.rebootRequired);
  EXPECT_EQ(117, back.exitCode);

  EXPECT_FALSE(ParseRunResult("", &back));
  EXPECT_FALSE(ParseRunResult("[1]", &back));
  EXPECT_FALSE(ParseRunResult("{\"exitCode\":\"0\"}", &back));
  std::string truncated = json.substr(0, json.size() / 2);
  EXPECT_FALSE(ParseRunResult(truncated, &back));
}

// The result file quotes the README's exit-code table, so the two must not drift.
TEST(ResultFileTest, MeaningsAreTheReadmeTable) {
  std::ifstream readme(LUM_SOURCE_DIR "/README.md");
  ASSERT_TRUE(readme.good());
  std::stringstream text;
  text << readme.rdbuf();
  const std::regex row(R"(\n\| (\d+|other) \| ([^|\n]+) \|)");
  std::set<int> documented;
  const std::string all = text.str();
  for (std::sregex_iterator it(all.begin(), all.end(), row), end; it != end; ++it) {
    const std::string code = (*it)[1];
    const int value = code == "other" ? 999 : std::stoi(code);
    EXPECT_EQ((*it)[2].str(), ExitCodeMeaning(value)) << code;
    documented.insert(value);
  }
  // Every code the program can end with has its row, and its own meaning.
  for (int i = 0; i < kEveryExitCodeCount; ++i) {
    const int code = kEveryExitCode[i];
    EXPECT_EQ(1u, documented.count(code)) << "no README row for exit code " << code;
    if (code != 0) EXPECT_STRNE(ExitCodeMeaning(999), ExitCodeMeaning(code)) << code;
  }
  // A 0 that installed nothing has its own documented meaning.
  for (ZeroExit zero : {ZeroExit::kClosedByUser, ZeroExit::kHandedToWaitingCopy}) {
    const std::string meaning = ExitCodeMeaning(0, zero);
    EXPECT_NE(std::string::npos, all.find("| " + meaning + " |")) << meaning;
  }
}

// Closing the window before Install keeps exit code 0, but the result file
// must not tell a deployment tool that the product was installed; the
// meaning survives a hand-over (the parent rewrites what the copy left).
TEST(ResultFileTest, AZeroThatInstalledNothingNeverReadsInstalled) {
  RunResult closed;
  closed.exitCode = 0;
  closed.zeroExit = ZeroExit::kClosedByUser;
  const std::string json = FormatRunResult(closed);
  EXPECT_EQ(std::string::npos, json.find("\"meaning\":\"installed\"")) << json;
  EXPECT_NE(std::string::npos, json.find("\"meaning\":\"closed by the user, nothing installed\""))
      << json;
  RunResult back;
  ASSERT_TRUE(ParseRunResult(json, &back));
  EXPECT_EQ(ZeroExit::kClosedByUser, back.zeroExit);
  EXPECT_EQ(json, FormatRunResult(back));
  // Another code keeps its own meaning whatever was noted.
  closed.exitCode = 112;
  EXPECT_NE(std::string::npos,
            FormatRunResult(closed).find(ExitCodeMeaning(112)));
  RunResult installed;
  EXPECT_NE(std::string::npos, FormatRunResult(installed).find("\"meaning\":\"installed\""));
  ASSERT_TRUE(ParseRunResult(FormatRunResult(installed), &back));
  EXPECT_EQ(ZeroExit::kInstalled, back.zeroExit);
}

}  // namespace
}  // namespace lum
