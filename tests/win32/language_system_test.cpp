// The language helpers against the real system: the UI language facts and
// the carried language table, line breaking measured with DrawText, and the
// built-in damaged-file message with its config.ini lookup and registry
// switch. (The choice under a Russian or Japanese system locale is checked by
// running the installer with that locale: system_locale_language.sh.)
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "app/session_environment_win.h"
#include "base/install_log.h"
#include "base/text.h"
#include "i18n/damaged_file_message_win.h"
#include "i18n/language_choice.h"
#include "i18n/line_break_win.h"
#include "session/session_settings.h"
#include "system/file_ops_win.h"
#include "system/registry_win.h"

namespace lum {
namespace {

TEST(LanguageSystem, FactsAndCarriedTableAgreeWithTheUiLanguage) {
  WinSessionEnvironment env;
  const SystemLanguageFacts facts = env.SystemLanguage();
  EXPECT_EQ(facts.uiLanguage, GetUserDefaultUILanguage());
  EXPECT_EQ(facts.ansiCodePage, GetACP());
  IniTable table;
  ASSERT_TRUE(env.LoadLanguageTable(table));
  const LanguageChoice choice = ChooseLanguageFromSystem(table, facts);
  // Whatever the prefix's language, the choice has a section in the table
  // and its id is the system's when the table knows that language.
  ASSERT_TRUE(table.HasSection(choice.requested)) << WideToUtf8(choice.requested);
  if (table.IntValue(choice.requested, L"lang_code", 0) != facts.uiLanguage) {
    for (const std::wstring& code : choice.offered) {
      EXPECT_NE(table.IntValue(code, L"lang_code", 0), facts.uiLanguage) << WideToUtf8(code);
    }
  }
  EXPECT_EQ(choice.offered.size(), 14u);
}

class LineBreakWin : public ::testing::Test {
 protected:
  void SetUp() override {
    dc_ = CreateCompatibleDC(nullptr);
    ASSERT_NE(dc_, nullptr);
    old_ = SelectObject(dc_, GetStockObject(DEFAULT_GUI_FONT));
    saved_ = languageCode;
  }
  void TearDown() override {
    languageCode = saved_;
    SelectObject(dc_, old_);
    DeleteDC(dc_);
  }
  HDC dc_ = nullptr;
  HGDIOBJ old_ = nullptr;
  std::wstring saved_;
};

TEST_F(LineBreakWin, LinesFitTheWidthMeasuredByDrawText) {
  EXPECT_LT(MeasureLineWidth(dc_, L"iiii"), MeasureLineWidth(dc_, L"WWWW"));
  EXPECT_EQ(MeasureLineWidth(dc_, L""), 0);
  const std::wstring text = L"You must restart your system to complete the installation.";
  const int width = MeasureLineWidth(dc_, L"restart your system");
  const std::wstring broken = BreakLines(dc_, text, width, L"de");
  const std::vector<std::wstring> lines = Split(broken, L'\n', false);
  ASSERT_GE(lines.size(), 3u) << WideToUtf8(broken);
  std::wstring rejoined;
  for (size_t i = 0; i < lines.size(); ++i) {
    EXPECT_LT(MeasureLineWidth(dc_, lines[i]), width) << WideToUtf8(lines[i]);
    // Each line is full: the next word would not have fitted.
    if (i + 1 < lines.size()) {
      const std::wstring next = Split(lines[i + 1], L' ', true).front();
      EXPECT_GE(MeasureLineWidth(dc_, lines[i] + L" " + next), width);
    }
    rejoined += (i ? L" " : L"") + lines[i];
  }
  EXPECT_EQ(rejoined, text);
}

TEST_F(LineBreakWin, JapaneseAndEmptyCodeFollowTheLanguage) {
  const std::wstring text = L"aaa bbb ccc";
  EXPECT_EQ(BreakLines(dc_, text, 1, L"ja"), text);
  EXPECT_EQ(BreakLines(dc_, text, 1, L""), L"aaa\nbbb\nccc");  // reads as "en": broken
}

// A product folder in %TEMP% with an optional config.ini, and the log lines.
class DamagedFileWin : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH, temp);
    root_ = std::wstring(temp) + L"lum_damaged_" + std::to_wstring(GetCurrentProcessId());
    DeleteFolderTree(root_);
    CreateDirectoryW(root_.c_str(), nullptr);
    product_ = root_ + L"\\Bastion";
    CreateDirectoryW(product_.c_str(), nullptr);
    log::SetSink([this](const std::string& line) { log_ += line + "\n"; });
    prompt_.showBox = [this](HWND owner, const DamagedFileText& message) {
      owners_.push_back(owner);
      text_ = message.text;
      caption_ = message.caption;
      return answers_.empty() ? IDNO : Next();
    };
    prompt_.openAddress = [this](const std::wstring& address) {
      opened_.push_back(address);
      return true;
    };
  }
  void TearDown() override {
    log::ClearSink();
    DeleteFolderTree(root_);
    RegKey::DeleteTree(HKEY_LOCAL_MACHINE, L"SOFTWARE\\LumBastion\\Experience");
  }
  int Next() {
    const int answer = answers_.front();
    answers_.erase(answers_.begin());
    return answer;
  }
  void WriteConfig(const std::wstring& path, const std::wstring& language,
                   const std::wstring& channel) {
    const std::wstring text = L"[UI]\r\nlanguage=" + language + L"\r\nchannel=" + channel + L"\r\n";
    const std::vector<uint8_t> bytes = WideToUtf16Le(text, true);
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
  }

  std::wstring root_, product_;
  std::string log_;
  DamagedFilePrompt prompt_;
  std::vector<int> answers_;
  std::vector<HWND> owners_;
  std::wstring text_, caption_;
  std::vector<std::wstring> opened_;
};

TEST_F(DamagedFileWin, ProductLanguageChoosesTextAndYesOpensDownloadPage) {
  WriteConfig(product_ + L"\\config.ini", L"DE", L"AB.0101");
  answers_ = {IDYES};
  const HWND owner = GetDesktopWindow();
  EXPECT_TRUE(ShowDamagedFileMessage(owner, product_, L"C:\\x\\ZVSafeMain.exe", prompt_));
  ASSERT_EQ(owners_.size(), 1u);
  EXPECT_EQ(owners_[0], owner);
  EXPECT_EQ(caption_, L"Lum Bastion");
  EXPECT_EQ(text_.find(L"Lum Bastion files have been damaged"), std::wstring::npos);
  const std::wstring file = L"C:\\x\\ZVSafeMain.exe";
  EXPECT_EQ(text_.substr(text_.size() - file.size()), file);
  EXPECT_EQ(opened_, std::vector<std::wstring>{
                         L"https://www.lumbastion.example/download/?lang=DE&ch=ab.0101"});
  EXPECT_NE(log_.find("open download page"), std::string::npos);
  EXPECT_NE(log_.find("statistics event not sent: nosign.htm?f=ZVSafeMain.exe&re=y"),
            std::string::npos)
      << log_;
}

TEST_F(DamagedFileWin, ParentConfigAndSecondBoxWithoutOwner) {
  // The folder handed over is a sub-folder; its parent holds config.ini.
  const std::wstring sub = product_ + L"\\bin";
  CreateDirectoryW(sub.c_str(), nullptr);
  WriteConfig(product_ + L"\\config.ini", L"ja", L"101");
  answers_ = {0, IDNO};
  EXPECT_FALSE(ShowDamagedFileMessage(GetDesktopWindow(), sub, L"a.exe", prompt_));
  ASSERT_EQ(owners_.size(), 2u);
  EXPECT_EQ(owners_[1], nullptr);
  EXPECT_NE(text_.find(L"Lum Bastion のファイル"), std::wstring::npos);
  EXPECT_TRUE(opened_.empty());
  EXPECT_NE(log_.find("re=n&mid=&ver=&lan=ja&os=&ch=101"), std::string::npos) << log_;
}

TEST_F(DamagedFileWin, NoConfigGivesEnglishAndOpensNothing) {
  answers_ = {IDYES};
  EXPECT_TRUE(ShowDamagedFileMessage(nullptr, product_, L"b.exe", prompt_));
  EXPECT_EQ(text_,
            L"Lum Bastion files have been damaged. \nPlease reinstall Lum Bastion and scan "
            L"for viruses. \nDamaged documents: b.exe");
  EXPECT_TRUE(opened_.empty());
  EXPECT_NE(log_.find("no download page"), std::string::npos);
}

TEST_F(DamagedFileWin, UserExperienceOffSuppressesTheReport) {
  EXPECT_TRUE(UserExperienceEnabled());
  RegKey key;
  ASSERT_TRUE(key.Create(HKEY_LOCAL_MACHINE, L"SOFTWARE\\LumBastion\\Experience", KEY_ALL_ACCESS));
  ASSERT_TRUE(key.WriteDword(L"UserExperience", 0));
  EXPECT_FALSE(UserExperienceEnabled());
  ShowDamagedFileMessage(nullptr, product_, L"c.exe", prompt_);
  EXPECT_EQ(log_.find("statistics"), std::string::npos) << log_;
  ASSERT_TRUE(key.WriteDword(L"UserExperience", 1));
  EXPECT_TRUE(UserExperienceEnabled());
}

}  // namespace
}  // namespace lum
