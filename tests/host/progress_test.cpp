#include "install/progress.h"

#include <gtest/gtest.h>

#include <map>
#include <thread>
#include <vector>

#include "install/config_files.h"

namespace lum {
namespace {

TEST(ProgressRuleTest, OnlyIncreasingPositionsAreAccepted) {
  ProgressRule rule;
  EXPECT_FALSE(rule.Accept(0));  // the start is 0 already
  EXPECT_TRUE(rule.Accept(5));
  EXPECT_TRUE(rule.Accept(72));
  EXPECT_FALSE(rule.Accept(70));  // a late 70 after 72 is dropped
  EXPECT_FALSE(rule.Accept(72));
  EXPECT_TRUE(rule.Accept(100));
  EXPECT_EQ(100, rule.Highest());
  rule.Reset();
  EXPECT_TRUE(rule.Accept(1));
}

TEST(ProgressRuleTest, ConcurrentReportsAcceptEachPositionOnce) {
  ProgressRule rule;
  std::vector<int> accepted(4, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&rule, &accepted, t] {
      for (int p = 1; p <= 1000; ++p) accepted[t] += rule.Accept(p) ? 1 : 0;
    });
  for (auto& thread : threads) thread.join();
  int total = 0;
  for (int n : accepted) total += n;
  EXPECT_LE(total, 1000);
  EXPECT_GE(total, 1);
  EXPECT_EQ(1000, rule.Highest());
}

TEST(ProgressRuleTest, MessageParameterAndPlacementPositions) {
  EXPECT_EQ(0x00640046u, ProgressLParam(70));
  EXPECT_EQ(0x00640064u, ProgressLParam(100));
  EXPECT_EQ(0, PlacementPosition(0, 0));
  EXPECT_EQ(0, PlacementPosition(0, 3));
  EXPECT_EQ(23, PlacementPosition(1, 3));
  EXPECT_EQ(46, PlacementPosition(2, 3));
  EXPECT_EQ(69, PlacementPosition(99, 100));
  // No overflow for large counts.
  EXPECT_EQ(35, PlacementPosition(2000000000ull, 4000000000ull));
}

TEST(WorkFolderTest, NameCarriesTimeAndSignedTicks) {
  EXPECT_EQ(L"Lum_install_20261208203000_1234", WorkFolderName(L"20261208203000", 1234));
  EXPECT_EQ(L"Lum_install_20261208203000_-1", WorkFolderName(L"20261208203000", 0xFFFFFFFFu));
}

class WorkFolderChoiceTest : public ::testing::Test {
 protected:
  WorkFolderFacts Facts() {
    WorkFolderFacts facts;
    facts.tempPath = L"C:\\Temp\\";
    facts.name = L"Lum_install_x_1";
    facts.installDir = L"C:\\Program Files (x86)\\Lum\\Bastion";
    facts.check = [this](std::wstring* candidate) {
      checked.push_back(*candidate);
      auto found = answers.find(*candidate);
      return found == answers.end() ? 111 : found->second;
    };
    return facts;
  }
  std::map<std::wstring, int> answers;
  std::vector<std::wstring> checked;
};

TEST_F(WorkFolderChoiceTest, TempFolderWinsWhenItPasses) {
  answers[L"C:\\Temp\\Lum_install_x_1\\"] = 0;
  const WorkFolderChoice choice = ChooseWorkFolder(Facts());
  EXPECT_EQ(0, choice.code);
  EXPECT_EQ(L"C:\\Temp\\Lum_install_x_1\\", choice.folder);
  EXPECT_EQ(1u, checked.size());
}

TEST_F(WorkFolderChoiceTest, TheFolderTheCheckCreatedIsTheOneChosen) {
  WorkFolderFacts facts = Facts();
  // The first name was taken, so the check made the next one.
  facts.check = [](std::wstring* candidate) {
    candidate->insert(candidate->size() - 1, L"_1");
    return 0;
  };
  EXPECT_EQ(L"C:\\Temp\\Lum_install_x_1_1\\", ChooseWorkFolder(facts).folder);
}

TEST_F(WorkFolderChoiceTest, TempPathWithoutBackslashGetsOne) {
  WorkFolderFacts facts = Facts();
  facts.tempPath = L"C:\\Temp";
  answers[L"C:\\Temp\\Lum_install_x_1\\"] = 0;
  EXPECT_EQ(L"C:\\Temp\\Lum_install_x_1\\", ChooseWorkFolder(facts).folder);
}

TEST_F(WorkFolderChoiceTest, FullTempDriveFallsBackToFirstPassingLetterAndMovesSilentFolder) {
  WorkFolderFacts facts = Facts();
  facts.silent = true;
  answers[L"E:\\Lum_install_x_1\\"] = 0;
  answers[L"F:\\Lum_install_x_1\\"] = 0;
  const WorkFolderChoice choice = ChooseWorkFolder(facts);
  EXPECT_EQ(0, choice.code);
  EXPECT_EQ(L"E:\\Lum_install_x_1\\", choice.folder);
  EXPECT_EQ(L"E:\\Program Files (x86)\\Lum\\Bastion", choice.installDir);
  EXPECT_EQ(L"A:\\Lum_install_x_1\\", checked[1]);  // letters in order from A
}

TEST_F(WorkFolderChoiceTest, InteractiveFallbackLeavesInstallFolderAlone) {
  answers[L"D:\\Lum_install_x_1\\"] = 0;
  const WorkFolderChoice choice = ChooseWorkFolder(Facts());
  EXPECT_EQ(L"D:\\Lum_install_x_1\\", choice.folder);
  EXPECT_TRUE(choice.installDir.empty());
}

TEST_F(WorkFolderChoiceTest, ExplicitSilentFolderTriesOnlyItsOwnDrive) {
  WorkFolderFacts facts = Facts();
  facts.silent = true;
  facts.installDirExplicit = true;
  facts.installDir = L"D:\\Apps\\Lum";
  answers[L"C:\\Temp\\Lum_install_x_1\\"] = 112;
  answers[L"E:\\Lum_install_x_1\\"] = 0;  // never tried
  const WorkFolderChoice choice = ChooseWorkFolder(facts);
  EXPECT_EQ(112, choice.code);  // the temp folder's answer is kept
  EXPECT_TRUE(choice.folder.empty());
  ASSERT_EQ(2u, checked.size());
  EXPECT_EQ(L"D:\\Lum_install_x_1\\", checked[1]);

  answers[L"D:\\Lum_install_x_1\\"] = 0;
  checked.clear();
  EXPECT_EQ(L"D:\\Lum_install_x_1\\", ChooseWorkFolder(facts).folder);
}

TEST_F(WorkFolderChoiceTest, NoTempPathAndNoDriveGives101) {
  WorkFolderFacts facts = Facts();
  facts.tempPath.clear();
  const WorkFolderChoice choice = ChooseWorkFolder(facts);
  EXPECT_EQ(101, choice.code);
  EXPECT_EQ(26u, checked.size());
}

TEST(CopyListTest, FoldersAndReinstallExclusionsAreNotCopied) {
  const std::set<std::wstring> ignored = {L"safemon\\setting.ini"};
  EXPECT_TRUE(ShouldCopyItem(L"safemon\\wd.ini", false, ignored));
  EXPECT_FALSE(ShouldCopyItem(L"safemon", true, ignored));
  EXPECT_FALSE(ShouldCopyItem(L"safemon\\setting.ini", false, ignored));
  EXPECT_FALSE(ShouldCopyItem(L"SafeMon/Setting.INI", false, ignored));
  EXPECT_TRUE(ShouldCopyItem(L"safemon\\setting.ini", false, {}));
  EXPECT_FALSE(ShouldCopyItem(L"", false, {}));
}

// --- configuration files ---

ConfigFacts FreshFacts() {
  ConfigFacts facts;
  facts.language = L"de";
  facts.title = L"Lum Bastion";
  facts.channel = L"ab";
  facts.subChannel = L" ";
  return facts;
}

std::vector<IniWrite> WritesTo(const ConfigPlan& plan, const std::wstring& file,
                               const std::wstring& key) {
  std::vector<IniWrite> out;
  for (const IniWrite& w : plan.writes)
    if (w.file == file && w.key == key) out.push_back(w);
  return out;
}

TEST(ConfigFilesTest, FreshInstallRecreatesEveryFileAndWritesChannel) {
  ConfigFacts facts = FreshFacts();
  facts.configExists = facts.i18nExists = facts.advUtilsExists = true;
  facts.configHasChannel = true;
  const ConfigPlan plan = PlanConfigFiles(facts);
  EXPECT_EQ((std::vector<std::wstring>{kConfigIni, kI18nIni, kAdvUtilsIni}), plan.createAnew);
  EXPECT_EQ((IniWrite{kConfigIni, L"UI", L"language", L"de"}), plan.writes[0]);
  EXPECT_EQ((IniWrite{kConfigIni, L"UI", L"title", L"Lum Bastion"}), plan.writes[1]);
  EXPECT_EQ((IniWrite{kConfigIni, L"UI", L"channel", L"ab"}), plan.writes[2]);
  EXPECT_EQ((IniWrite{kConfigIni, L"UI", L"schannel", L"0"}), plan.writes[3]);
  const auto font = WritesTo(plan, kI18nIni, L"Name1");
  ASSERT_EQ(1u, font.size());
  EXPECT_EQ(L"\x5FAE\x8EDF\x6B63\x9ED1\x9AD4", font[0].value);
  EXPECT_EQ(L"Font", font[0].section);
  EXPECT_EQ(L"de", WritesTo(plan, kAdvUtilsIni, L"lang").at(0).value);
  EXPECT_EQ(L"en", WritesTo(plan, kAdvUtilsIni, L"default_lang").at(0).value);
  EXPECT_EQ(L"en", WritesTo(plan, kI18nIni, L"DefaultLanguage").at(0).value);
}

TEST(ConfigFilesTest, ReinstallKeepsFilesAndExistingChannel) {
  ConfigFacts facts = FreshFacts();
  facts.productInstalled = true;
  facts.configExists = facts.i18nExists = facts.advUtilsExists = true;
  facts.configHasChannel = facts.configHasSubChannel = true;
  const ConfigPlan plan = PlanConfigFiles(facts);
  EXPECT_TRUE(plan.createAnew.empty());
  EXPECT_TRUE(WritesTo(plan, kConfigIni, L"channel").empty());
  EXPECT_TRUE(WritesTo(plan, kConfigIni, L"schannel").empty());
  EXPECT_EQ(1u, WritesTo(plan, kConfigIni, L"language").size());
}

TEST(ConfigFilesTest, ReinstallFillsMissingValuesAndRewritesForHashOrEdition) {
  ConfigFacts facts = FreshFacts();
  facts.productInstalled = true;
  facts.configExists = true;
  facts.configHasChannel = true;
  ConfigPlan plan = PlanConfigFiles(facts);
  EXPECT_EQ((std::vector<std::wstring>{kI18nIni, kAdvUtilsIni}), plan.createAnew);
  EXPECT_TRUE(WritesTo(plan, kConfigIni, L"channel").empty());
  ASSERT_EQ(1u, WritesTo(plan, kConfigIni, L"schannel").size());
  EXPECT_EQ(L"0", WritesTo(plan, kConfigIni, L"schannel")[0].value);

  facts.baseEdition = 2;
  plan = PlanConfigFiles(facts);
  EXPECT_EQ(1u, WritesTo(plan, kConfigIni, L"channel").size());

  // No config.ini at all: it is created and gets the channel once.
  facts = FreshFacts();
  facts.productInstalled = true;
  facts.configHasChannel = facts.configHasSubChannel = true;  // stale: the file is new
  facts.hashKind = 1;
  plan = PlanConfigFiles(facts);
  EXPECT_EQ(kConfigIni, plan.createAnew.at(0));
  EXPECT_EQ(2u, WritesTo(plan, kConfigIni, L"channel").size());
  EXPECT_EQ(2u, WritesTo(plan, kConfigIni, L"schannel").size());
}

TEST(ConfigFilesTest, EnterpriseChannelIsWrittenLast) {
  ConfigFacts facts = FreshFacts();
  facts.enterprise = true;
  facts.channel = L"ent.Corp";
  ConfigPlan plan = PlanConfigFiles(facts);
  const auto channel = WritesTo(plan, kConfigIni, L"channel");
  EXPECT_EQ(2u, channel.size());
  facts.channel = L"retail";
  plan = PlanConfigFiles(facts);
  EXPECT_EQ(1u, WritesTo(plan, kConfigIni, L"channel").size());
}

}  // namespace
}  // namespace lum
