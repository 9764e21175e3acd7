// The installer's log file against Wine's real file system.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "base/install_log.h"
#include "base/text.h"
#include "tests/wine/planted_link.h"

namespace lum {
namespace {

std::wstring TempPath() {
  wchar_t temp[MAX_PATH + 1] = {};
  GetTempPathW(MAX_PATH, temp);
  return temp;
}

std::string ReadAll(const std::wstring& path) {
  std::string data;
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return data;
  char buffer[4096];
  DWORD read = 0;
  while (ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read > 0) {
    data.append(buffer, read);
  }
  CloseHandle(file);
  return data;
}

class InstallLogFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = TempPath() + L"lum_log_test_" + std::to_wstring(GetCurrentProcessId()) + L".log";
    DeleteFileW(path_.c_str());
    // Whatever earlier tests buffered goes nowhere.
    log::SetSink([](const std::string&) {});
  }
  void TearDown() override {
    log::ClearSink();  // closes the file
    DeleteFileW(path_.c_str());
  }
  std::wstring path_;
};

TEST_F(InstallLogFileTest, AppendsUtf8LinesWithCrLf) {
  ASSERT_TRUE(log::OpenFile(path_));
  log::Note("test", L"first \u00E9");
  log::ClearSink();
  ASSERT_TRUE(log::OpenFile(path_));
  log::Action("test", L"second", L"C:\\x", 5);
  log::ClearSink();

  const std::string data = ReadAll(path_);
  EXPECT_NE(data.find("[test] first \xC3\xA9\r\n"), std::string::npos) << data;
  EXPECT_NE(data.find("[test] second | C:\\x | 5\r\n"), std::string::npos) << data;
  EXPECT_LT(data.find("first"), data.find("second"));
  EXPECT_EQ(data.find("\n\n"), std::string::npos);
}

TEST_F(InstallLogFileTest, LinesSurviveExitProcess) {
  // The death test runs in a child process: a name without the process id.
  const std::wstring path = TempPath() + L"lum_log_exit_test.log";
  DeleteFileW(path.c_str());
  EXPECT_EXIT(
      {
        log::OpenFile(path);
        log::Note("test", L"written before ExitProcess");
        ExitProcess(7);
      },
      ::testing::ExitedWithCode(7), "");
  EXPECT_NE(ReadAll(path).find("[test] written before ExitProcess\r\n"), std::string::npos);
  DeleteFileW(path.c_str());
}

TEST_F(InstallLogFileTest, UnopenableFileKeepsLinesBuffered) {
  log::ClearSink();
  EXPECT_FALSE(log::OpenFile(TempPath() + L"no_such_folder_4711\\x.log"));
  EXPECT_FALSE(log::OpenFile(L""));
  log::Note("test", L"still buffered");
  ASSERT_TRUE(log::OpenFile(path_));
  log::ClearSink();
  const std::string data = ReadAll(path_);
  EXPECT_NE(data.find("open log file | "), std::string::npos) << data;  // the failure itself
  EXPECT_NE(data.find("[test] still buffered\r\n"), std::string::npos) << data;
}

// The default log's name is easy to foresee: whatever has it already, a
// link planted there or the log of an earlier run, is never opened, and the
// next free name is taken.
TEST_F(InstallLogFileTest, NewLogNeverOpensWhatIsThereAlready) {
  const std::wstring victim = TempPath() + L"lum_log_victim.txt";
  HANDLE file = CreateFileW(victim.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, file);
  DWORD written = 0;
  WriteFile(file, "someone else's file", 19, &written, nullptr);
  CloseHandle(file);
  ASSERT_TRUE(planted::MakeHostLink(path_, victim));
  const std::wstring earlier = log::NumberedLogName(path_, 1);
  const std::wstring fresh = log::NumberedLogName(path_, 2);
  ASSERT_TRUE(log::OpenFile(earlier));
  log::Note("test", L"an earlier run");
  log::ClearSink();  // what follows is kept for the next file

  ASSERT_TRUE(log::OpenNewFile(path_));
  EXPECT_EQ(fresh, log::FilePath());
  log::Note("test", L"this run");
  log::ClearSink();

  EXPECT_EQ("someone else's file", ReadAll(victim));
  EXPECT_EQ(std::string::npos, ReadAll(earlier).find("this run"));
  const std::string mine = ReadAll(fresh);
  EXPECT_NE(std::string::npos, mine.find("[test] this run\r\n")) << mine;
  EXPECT_NE(std::string::npos, mine.find("name taken, not used: " + WideToUtf8(path_))) << mine;
  EXPECT_NE(std::string::npos, mine.find("name taken, not used: " + WideToUtf8(earlier)));
  EXPECT_EQ(L"C:\\t\\a_2.log", log::NumberedLogName(L"C:\\t\\a.log", 2));
  EXPECT_EQ(L"C:\\t.d\\a_3", log::NumberedLogName(L"C:\\t.d\\a", 3));
  planted::RemovePlantedLink(path_);  // the link only: Wine's delete would take its target
  DeleteFileW(earlier.c_str());
  DeleteFileW(fresh.c_str());
  DeleteFileW(victim.c_str());
}

TEST(InstallLogPath, SilentLogLivesInTemp) {
  const std::wstring path = log::DefaultSilentLogPath();
  const std::wstring temp = TempPath();
  ASSERT_EQ(path.compare(0, temp.size(), temp), 0);
  const std::wstring name = path.substr(temp.size());
  // LumBastionSetup_yyyymmdd_hhmmss.log
  ASSERT_EQ(name.size(), 35u) << name;
  EXPECT_EQ(name.substr(0, 16), L"LumBastionSetup_");
  EXPECT_EQ(name[24], L'_');
  EXPECT_EQ(name.substr(31), L".log");
  for (size_t i : {16, 17, 18, 19, 20, 21, 22, 23, 25, 26, 27, 28, 29, 30}) {
    EXPECT_TRUE(name[i] >= L'0' && name[i] <= L'9') << name;
  }
}

}  // namespace
}  // namespace lum
