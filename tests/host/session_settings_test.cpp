#include "session/session_settings.h"

#include <gtest/gtest.h>

#include "fake_session_environment.h"

namespace lum {
namespace {

using testing_support::BaseLanguageTable;
using testing_support::FakeSessionEnvironment;

class SessionSetupTest : public ::testing::Test {
 protected:
  // Inserts lines right after the [default] header.
  void AddDefaults(const std::wstring& lines) {
    env_.tableText.insert(std::wstring(L"[default]\n").size(), lines);
  }

  FakeSessionEnvironment env_;
  SessionSettings session_;
};

TEST_F(SessionSetupTest, ReadsDefaultsAndChoosesSystemLanguage) {
  AddDefaults(L"schannel=77\npmode=1\n");
  ASSERT_TRUE(session_.Setup(env_));
  EXPECT_EQ(session_.channel, L"101");
  EXPECT_EQ(session_.subChannel, L"77");
  EXPECT_EQ(session_.errLink, L"https://help.example/err");
  EXPECT_EQ(session_.pmode, 1);
  EXPECT_EQ(session_.language, L"en");
  EXPECT_TRUE(session_.languageFound);
  EXPECT_FALSE(session_.productInstalled);
  EXPECT_EQ(session_.Text(L"title"), L"Setup");
  EXPECT_EQ(session_.Text(L"missing"), L"");
  EXPECT_EQ(session_.TextInt(L"image"), 12);
  EXPECT_EQ(session_.IntValue(L"ru", L"lang_code", -1), 1049);
  EXPECT_EQ(session_.offeredLanguages.size(), 14u);
}

TEST_F(SessionSetupTest, BlankOrMissingSubChannelReadsZero) {
  ASSERT_TRUE(session_.Setup(env_));
  EXPECT_EQ(session_.subChannel, L"0");

  session_.SetSubChannel(L" ");
  EXPECT_EQ(session_.subChannel, L"0");
  session_.SetSubChannel(L"");
  EXPECT_EQ(session_.subChannel, L"0");
  session_.SetSubChannel(L"  ");  // only a single blank is special
  EXPECT_EQ(session_.subChannel, L"  ");
}

TEST_F(SessionSetupTest, ScriptModeWithoutRegModeFallsBackByMemory) {
  AddDefaults(L"pmode=254\n");
  env_.memory = 4ull << 30;
  ASSERT_TRUE(session_.Setup(env_));
  EXPECT_EQ(session_.pmode, 2);

  SessionSettings small;
  env_.memory = 2ull << 30;  // exactly 2 GiB is not more than 2 GiB
  ASSERT_TRUE(small.Setup(env_));
  EXPECT_EQ(small.pmode, 1);
}

TEST_F(SessionSetupTest, ScriptModeNeedsAnExistingScriptSection) {
  AddDefaults(L"pmode=254\nregmode=strict\n");
  ASSERT_TRUE(session_.Setup(env_));
  EXPECT_EQ(session_.pmode, 254);
  EXPECT_EQ(session_.regMode, L"strict");

  env_.scriptSections.clear();
  SessionSettings other;
  ASSERT_TRUE(other.Setup(env_));
  EXPECT_EQ(other.pmode, 2);
}

TEST_F(SessionSetupTest, InvalidOrAbsentModeGivesDefault) {
  AddDefaults(L"pmode=7\n");
  env_.memory = 1ull << 30;
  ASSERT_TRUE(session_.Setup(env_));
  EXPECT_EQ(session_.pmode, 1);

  FakeSessionEnvironment absent;
  absent.memory = 3ull << 30;
  SessionSettings other;
  ASSERT_TRUE(other.Setup(absent));
  EXPECT_EQ(other.pmode, 2);
}

TEST(DefaultProtectionMode, ThresholdIsAboveTwoGiB) {
  EXPECT_EQ(DefaultProtectionMode(0), 1);
  EXPECT_EQ(DefaultProtectionMode(0x80000000ull), 1);
  EXPECT_EQ(DefaultProtectionMode(0x80000001ull), 2);
}

TEST_F(SessionSetupTest, InstalledProductSetsFolderVersionAndLanguage) {
  env_.productFolder = L"C:\\Program Files\\Lum\\Bastion\\";
  env_.productLanguage = L"ZH-TW";
  ASSERT_TRUE(session_.Setup(env_));
  EXPECT_TRUE(session_.productInstalled);
  EXPECT_EQ(session_.installDir, env_.productFolder);
  EXPECT_FALSE(session_.installDirExplicit);
  EXPECT_EQ(session_.installedVersion, L"8.2.0.1133");
  EXPECT_EQ(env_.versionAskedFor, env_.productFolder);
  EXPECT_EQ(session_.language, L"zh-TW");
  EXPECT_EQ(session_.offeredLanguages, std::vector<std::wstring>{L"zh-TW"});
  EXPECT_EQ(session_.Text(L"name"), L"TW");
}

TEST_F(SessionSetupTest, ConflictKeepsProductUnknown) {
  env_.conflict = {true, 507, L"ERROR_CNLUMBASTION"};
  env_.productFolder = L"C:\\Program Files\\Lum\\Bastion\\";
  env_.productLanguage = L"ru";
  ASSERT_TRUE(session_.Setup(env_));
  EXPECT_EQ(session_.conflictPresent, 1);
  EXPECT_EQ(session_.conflictExitCode, 507);
  EXPECT_EQ(session_.conflictMessageKey, L"ERROR_CNLUMBASTION");
  EXPECT_TRUE(session_.installDir.empty());
  EXPECT_FALSE(session_.productInstalled);
  EXPECT_EQ(session_.language, L"en");  // from the system, not the product
}

TEST_F(SessionSetupTest, UnusableTableFails) {
  env_.tableLoads = false;
  EXPECT_FALSE(session_.Setup(env_));
  EXPECT_FALSE(session_.languageFound);
}

TEST_F(SessionSetupTest, ChosenLanguageWithoutSectionFails) {
  // Forced to a language the table lists but has no section for.
  AddDefaults(L"force_lang=1\n");
  const size_t at = env_.tableText.find(L"appname=en");
  env_.tableText.replace(at, 10, L"appname=xx");
  EXPECT_FALSE(session_.Setup(env_));
  EXPECT_FALSE(session_.languageFound);
  EXPECT_TRUE(session_.texts.empty());

  // The same holds for a table without any language section.
  FakeSessionEnvironment bare;
  bare.tableText = L"[default]\nlanguages=en;\n";
  SessionSettings other;
  EXPECT_FALSE(other.Setup(bare));
}

TEST_F(SessionSetupTest, SectionNameMustMatchExactly) {
  // Forced to "EN" while the section is "en": no section has exactly that name.
  AddDefaults(L"force_lang=1\n");
  env_.tableText.replace(env_.tableText.find(L"appname=en"), 10, L"appname=EN");
  EXPECT_FALSE(session_.Setup(env_));
  EXPECT_EQ(session_.requestedLanguage, L"EN");
  EXPECT_TRUE(session_.forcedLanguage);
}

TEST(SessionFileNameChannel, AcceptsTheNineteenCharacterSuffix) {
  SessionSettings session;
  session.channel = L"101";
  EXPECT_TRUE(session.ApplyChannelFromFileName(L"C:\\Down\\setup._ab.0101.2020_.exe"));
  EXPECT_EQ(session.channel, L"ab.0101.2020");
  EXPECT_TRUE(session.ApplyChannelFromFileName(L"x._QZ.9999.0000_.exe"));
  EXPECT_EQ(session.channel, L"QZ.9999.0000");
  // The separators between the groups are not compared, only the classes.
  EXPECT_TRUE(session.ApplyChannelFromFileName(L"x._cd-1234_5678_.exe"));
  EXPECT_EQ(session.channel, L"cd-1234_5678");
}

TEST(SessionFileNameChannel, RejectsNamesThatDoNotFit) {
  const wchar_t* rejected[] = {
      L"._ab.0101.2020_.exe",       // exactly 19 characters: nothing before it
      L"setup._a1.0101.2020_.exe",  // digit where a letter belongs
      L"setup._ab.01x1.2020_.exe",  // letter where a digit belongs
      L"setup._ab.0101.202_.exe",   // one digit short
      L"setup.-ab.0101.2020_.exe",  // first two characters compared exactly
      L"setup._ab.0101.2020_.EXE",  // last five compared exactly
      L"setup._ab.0101.2020..exe",
      L"setup.exe",
      L"C:\\a._ab.0101.2020_.exe\\setup.exe",  // only the file name counts
  };
  for (const wchar_t* name : rejected) {
    SessionSettings session;
    session.channel = L"101";
    EXPECT_FALSE(session.ApplyChannelFromFileName(name)) << name;
    EXPECT_EQ(session.channel, L"101") << name;
  }
}

TEST(SessionPromoOptions, SilentDropsDesktopOfferAndTableFillsOnlyWhenEmpty) {
  SessionSettings session;
  session.table = testing_support::ParseTable(BaseLanguageTable());
  session.FillPromoOptionsFromTable();
  EXPECT_EQ(session.promoOptions, L"{\"desktop_plus\":\"1\",\"opera\":\"1\"}");

  session.promoOptions = L"{\"medal\":\"0\"}";
  session.FillPromoOptionsFromTable();
  EXPECT_EQ(session.promoOptions, L"{\"medal\":\"0\"}");

  SessionSettings silent;
  silent.silent = true;
  silent.table = session.table;
  silent.FillPromoOptionsFromTable();
  EXPECT_EQ(silent.promoOptions, L"{\"opera\":\"1\"}");
}

}  // namespace
}  // namespace lum
