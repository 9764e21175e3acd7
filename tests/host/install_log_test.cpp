#include "base/install_log.h"

#include <gtest/gtest.h>

#include <mutex>
#include <set>
#include <thread>
#include <vector>

namespace lum {
namespace {

// "YYYY-MM-DD hh:mm:ss.mmm" at the start of the line.
bool HasTimestamp(const std::string& line) {
  const std::string shape = "dddd-dd-dd dd:dd:dd.ddd";
  if (line.size() < shape.size()) return false;
  for (size_t i = 0; i < shape.size(); ++i) {
    const bool digit = line[i] >= '0' && line[i] <= '9';
    if (shape[i] == 'd' ? !digit : line[i] != shape[i]) return false;
  }
  return true;
}

// Collects lines; drains whatever earlier tests left buffered first.
class InstallLogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    log::SetSink([](const std::string&) {});
    log::ClearSink();
  }
  void TearDown() override { log::ClearSink(); }

  void Attach() {
    log::SetSink([this](const std::string& line) {
      std::lock_guard<std::mutex> guard(lock_);
      lines_.push_back(line);
    });
  }

  std::mutex lock_;
  std::vector<std::string> lines_;
};

TEST(InstallLogFormat, ActionAndNote) {
  EXPECT_EQ(
      log::FormatLine("2026-12-08 19:52:51.123", "startup", L"relocate: run copy",
                      L"C:\\Program Files\\1_0\\x.exe", 0, true),
      "2026-12-08 19:52:51.123 [startup] relocate: run copy | C:\\Program Files\\1_0\\x.exe | 0");
  EXPECT_EQ(log::FormatLine("T", "session", L"language en", L"ignored", 5, false),
            "T [session] language en");
  EXPECT_EQ(log::FormatLine("T", "x", L"a", L"", -2, true), "T [x] a |  | -2");
}

TEST(InstallLogFormat, Utf8AndOneLine) {
  EXPECT_EQ(log::FormatLine("T", "x", L"caf\u00E9\r\nnext", L"\u4E2D", 1, true),
            "T [x] caf\xC3\xA9  next | \xE4\xB8\xAD | 1");
}

TEST_F(InstallLogTest, LinesBeforeTheSinkAreKeptInOrder) {
  log::Note("startup", L"first");
  log::Action("startup", L"second", L"C:\\x", 3);
  EXPECT_TRUE(lines_.empty());
  Attach();
  log::Note("startup", L"third");
  ASSERT_EQ(lines_.size(), 3u);
  EXPECT_TRUE(HasTimestamp(lines_[0])) << lines_[0];
  EXPECT_EQ(lines_[0].substr(23, 11), " [startup] ");
  EXPECT_NE(lines_[0].find("] first"), std::string::npos);
  EXPECT_NE(lines_[1].find("] second | C:\\x | 3"), std::string::npos);
  EXPECT_NE(lines_[2].find("] third"), std::string::npos);
}

TEST_F(InstallLogTest, BufferIsBoundedAndReportsDroppedLines) {
  for (int i = 0; i < 5000; ++i) log::Note("t", std::to_wstring(i));
  Attach();
  ASSERT_EQ(lines_.size(), 4097u);
  EXPECT_NE(lines_[0].find("] 0"), std::string::npos);
  EXPECT_NE(lines_[4095].find("] 4095"), std::string::npos);
  EXPECT_NE(lines_[4096].find("dropped before the log was opened: 904"), std::string::npos);
}

TEST_F(InstallLogTest, ClearSinkBuffersAgain) {
  Attach();
  log::Note("t", L"to sink");
  log::ClearSink();
  log::Note("t", L"buffered");
  EXPECT_EQ(lines_.size(), 1u);
  Attach();
  ASSERT_EQ(lines_.size(), 2u);
  EXPECT_NE(lines_[1].find("buffered"), std::string::npos);
}

TEST_F(InstallLogTest, ConcurrentWritersLoseNoLineAndNeverInterleave) {
  constexpr int kThreads = 8;
  constexpr int kLines = 500;
  // Half of the lines are written before the sink exists.
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t, this] {
      for (int i = 0; i < kLines; ++i) {
        if (t == 0 && i == kLines / 2) Attach();
        log::Action("t", L"w" + std::to_wstring(t), L"n" + std::to_wstring(i), 0);
      }
    });
  }
  for (auto& thread : threads) thread.join();
  ASSERT_LE(lines_.size(), static_cast<size_t>(kThreads * kLines));
  std::set<std::string> seen;
  for (const std::string& line : lines_) {
    // "<timestamp> [t] w<thread> | n<index> | 0", whole and alone on its line.
    ASSERT_TRUE(HasTimestamp(line)) << line;
    const size_t body = line.find(" [t] w");
    const size_t bar = line.find(" | n");
    ASSERT_EQ(body, 23u) << line;
    ASSERT_NE(bar, std::string::npos) << line;
    ASSERT_EQ(line.compare(line.size() - 4, 4, " | 0"), 0) << line;
    seen.insert(line.substr(body + 6, bar - body - 6) + "/" +
                line.substr(bar + 4, line.size() - 4 - bar - 4));
  }
  EXPECT_EQ(seen.size(), static_cast<size_t>(kThreads * kLines));
}

}  // namespace
}  // namespace lum
