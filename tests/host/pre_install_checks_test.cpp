#include "install/pre_install_checks.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace lum {
namespace {

// Fixed machine facts; records which questions were asked, in order.
class FakeProbes : public StartupCheckSteps {
 public:
  bool supported = true;
  int compare = 1;
  bool writable = true;
  int driveClass = kDriveLocalFixed;
  bool freeReadable = true;
  uint64_t freeBytes = 10ULL * 1000 * 1000 * 1000;
  ConflictInfo conflict;
  bool pendingOk = true;
  int pendingCode = 0;
  int runningIndex = kRunningNone;
  std::vector<std::string> asked;

  bool SupportedWindows() override { return Ask("windows"), supported; }
  int CompareWithInstalled() override { return Ask("version"), compare; }
  bool IsWritableFolder(const std::wstring&) override { return Ask("writable"), writable; }
  int ClassifyDrive(wchar_t) override { return Ask("drive"), driveClass; }
  bool FreeBytes(const std::wstring&, uint64_t* bytes) override {
    Ask("space");
    *bytes = freeBytes;
    return freeReadable;
  }
  ConflictInfo FindConflictingProduct() override { return Ask("conflict"), conflict; }
  bool CheckPendingRestart(int* code) override {
    Ask("pending");
    *code = pendingCode;
    return pendingOk;
  }
  RunningProgramRow FindRunningFamilyProgram() override {
    return Ask("running"), RunningProgramRowByIndex(runningIndex);
  }

 private:
  void Ask(const char* what) { asked.push_back(what); }
};

SessionSettings SessionWithFolder(const std::wstring& folder) {
  SessionSettings session;
  session.installDir = folder;
  return session;
}

TEST(SilentPreCheckTest, AllPassAsksEveryRuleInOrder) {
  FakeProbes probes;
  EXPECT_EQ(0, SilentPreCheckOrder(probes, SessionWithFolder(L"C:\\Lum"), 0));
  EXPECT_EQ((std::vector<std::string>{"version", "windows", "writable", "drive", "space"}),
            probes.asked);
}

TEST(SilentPreCheckTest, PresetConflictWinsBeforeAnyProbe) {
  FakeProbes probes;
  probes.compare = -1;
  probes.supported = false;
  SessionSettings session = SessionWithFolder(L"");
  session.conflictPresent = 1;
  session.conflictExitCode = 507;
  EXPECT_EQ(507, SilentPreCheckOrder(probes, session, 108));
  EXPECT_TRUE(probes.asked.empty());
}

TEST(SilentPreCheckTest, EachRuleFailsWithItsCodeAndLaterRulesAreNotAsked) {
  const SessionSettings folder = SessionWithFolder(L"D:\\Lum");
  {
    FakeProbes probes;
    probes.compare = -1;
    probes.supported = false;
    EXPECT_EQ(115, SilentPreCheckOrder(probes, folder, 108));
  }
  {
    FakeProbes probes;
    probes.compare = 0;  // same version is a repair, not a refusal
    probes.supported = false;
    EXPECT_EQ(107, SilentPreCheckOrder(probes, folder, 108));
  }
  {
    FakeProbes probes;
    EXPECT_EQ(108, SilentPreCheckOrder(probes, SessionWithFolder(L""), 108));
    // Other procedure codes are not the silent check's business.
    FakeProbes other;
    EXPECT_EQ(0, SilentPreCheckOrder(other, folder, 111));
  }
  {
    FakeProbes probes;
    probes.writable = false;
    EXPECT_EQ(113, SilentPreCheckOrder(probes, SessionWithFolder(L""), 0));
    EXPECT_EQ((std::vector<std::string>{"version", "windows"}), probes.asked);
  }
  {
    FakeProbes probes;
    probes.writable = false;
    probes.driveClass = kDriveNetwork;
    EXPECT_EQ(109, SilentPreCheckOrder(probes, folder, 0));
  }
  {
    FakeProbes probes;
    probes.driveClass = kDriveRamDisk;
    probes.freeBytes = 0;
    EXPECT_EQ(112, SilentPreCheckOrder(probes, folder, 0));
  }
  {
    FakeProbes probes;
    probes.freeBytes = kMinFreeBytes;
    EXPECT_EQ(111, SilentPreCheckOrder(probes, folder, 0));
    probes.freeBytes = kMinFreeBytes + 1;
    EXPECT_EQ(0, SilentPreCheckOrder(probes, folder, 0));
    probes.freeBytes = 0;
    probes.freeReadable = false;  // an unreadable figure passes
    EXPECT_EQ(0, SilentPreCheckOrder(probes, folder, 0));
  }
}

TEST(StartupCheckTest, OrderAndKeys) {
  {
    FakeProbes steps;
    steps.supported = false;
    steps.conflict = ConflictInfoFromRow(kConflictPartner);
    StartupCheckResult r = StartupCheckOrder(steps, 0);
    EXPECT_EQ(107, r.code);
    EXPECT_EQ(L"ERROR_NOSUPPORTWIN2K", r.messageKey);
  }
  {
    FakeProbes steps;
    steps.conflict = ConflictInfoFromRow(kConflictCleaner);
    steps.pendingOk = false;
    StartupCheckResult r = StartupCheckOrder(steps, 0);
    EXPECT_EQ(510, r.code);
    EXPECT_EQ(L"ERROR_PC_CLEANER", r.messageKey);
    EXPECT_EQ((std::vector<std::string>{"windows", "conflict"}), steps.asked);
  }
  {
    FakeProbes steps;
    steps.pendingOk = false;
    steps.pendingCode = 505;
    steps.compare = -1;
    StartupCheckResult r = StartupCheckOrder(steps, 0);
    EXPECT_EQ(505, r.code);
    EXPECT_TRUE(r.pendingRestart);
    EXPECT_TRUE(r.messageKey.empty());  // the pending check showed its own message
  }
  {
    FakeProbes steps;
    steps.compare = -1;
    steps.runningIndex = kRunningAccount;
    StartupCheckResult r = StartupCheckOrder(steps, 0);
    EXPECT_EQ(115, r.code);
    EXPECT_EQ(L"ERROR_NEWER_VERSION_INSTALLED", r.messageKey);
  }
  {
    FakeProbes steps;
    steps.runningIndex = kRunningGameBooster;
    StartupCheckResult r = StartupCheckOrder(steps, 112);
    EXPECT_EQ(1003, r.code);
    EXPECT_EQ(L"ERROR_RUNNING_GAME_BOOSTER", r.messageKey);
  }
  {
    FakeProbes steps;
    StartupCheckResult r = StartupCheckOrder(steps, 112);
    EXPECT_EQ(112, r.code);
    EXPECT_EQ(L"ERROR_TEMPNOUDISK", r.messageKey);
    FakeProbes ok;
    EXPECT_EQ(0, StartupCheckOrder(ok, 0).code);
  }
}

TEST(ConflictTableTest, RowsAndUnknownIndex) {
  EXPECT_EQ(0, ConflictRowByIndex(6).code);  // index 6 is not a row
  EXPECT_FALSE(ConflictInfoFromRow(kConflictNone).present);
  const ConflictInfo edition = ConflictInfoFromRow(kConflictOtherEdition);
  EXPECT_TRUE(edition.present);
  EXPECT_EQ(507, edition.exitCode);
  EXPECT_EQ(L"ERROR_CNLUMBASTIONESSENTIAL", edition.messageKey);
  EXPECT_EQ(506, ConflictRowByIndex(kConflictSafeBox).code);
  EXPECT_EQ(508, ConflictRowByIndex(kConflictEnterprise).code);
  EXPECT_EQ(1004, RunningProgramRowByIndex(kRunningDriverUpdater).code);
  EXPECT_EQ(0, RunningProgramRowByIndex(9).code);
}

TEST(WorkFolderRulesTest, LengthAndSpaceBoundaries) {
  EXPECT_FALSE(WorkFolderLengthOk(L"C:\\"));
  EXPECT_TRUE(WorkFolderLengthOk(L"C:\\a"));
  EXPECT_TRUE(WorkFolderLengthOk(L"C:\\" + std::wstring(256, L'a')));   // 259
  EXPECT_FALSE(WorkFolderLengthOk(L"C:\\" + std::wstring(257, L'a')));  // 260
  EXPECT_FALSE(FreeSpaceSufficient(true, 300000000ULL));
  EXPECT_TRUE(FreeSpaceSufficient(true, 300000001ULL));
  EXPECT_TRUE(FreeSpaceSufficient(false, 0));
  EXPECT_EQ(L"ERROR_TEMPNOTAVAILABLE", WorkFolderMessageKey(101));
  EXPECT_EQ(L"ERROR_TEMPUNWRITEABLE", WorkFolderMessageKey(108));
  EXPECT_EQ(L"ERROR_TEMPNODISKSPACE", WorkFolderMessageKey(111));
  EXPECT_EQ(L"ERROR_TEMPNOUDISK", WorkFolderMessageKey(112));
  // Extraction failures and unknown codes must never read as "already shown".
  for (int code : {110, 116, 117, 118}) EXPECT_EQ(L"ERROR_TEMPNOFILE", WorkFolderMessageKey(code));
  for (int code : {1, 102, 109, 119, 333, -1})
    EXPECT_EQ(L"ERROR_TEMPNOTAVAILABLE", WorkFolderMessageKey(code)) << code;
  EXPECT_TRUE(WorkFolderMessageKey(0).empty());
}

ProductVersion V(uint16_t a, uint16_t b, uint16_t c, uint16_t d) {
  ProductVersion v;
  v.part[0] = a, v.part[1] = b, v.part[2] = c, v.part[3] = d;
  return v;
}

TEST(VersionCompareTest, ComparesPartsAsUnsignedPairs) {
  EXPECT_EQ(0, CompareVersions(V(8, 2, 0, 1133), V(8, 2, 0, 1133)));
  EXPECT_EQ(1, CompareVersions(V(8, 3, 0, 0), V(8, 2, 65535, 65535)));
  EXPECT_EQ(-1, CompareVersions(V(8, 2, 0, 1133), V(8, 2, 1, 0)));
  // The high part of each 16-bit field must not turn a version negative.
  EXPECT_EQ(1, CompareVersions(V(0x8000, 0, 0, 0), V(0x7FFF, 0xFFFF, 0, 0)));
  EXPECT_EQ(1, CompareVersions(V(1, 0, 0x8000, 0), V(1, 0, 1, 0)));
  EXPECT_EQ(L"8.2.0.1133", V(8, 2, 0, 1133).Text());
}

TEST(VersionCompareTest, DottedTextReplacesLeadingParts) {
  const ProductVersion installed = V(8, 2, 0, 1133);
  ProductVersion out;
  ASSERT_TRUE(ApplyDottedVersion(installed, L"9", &out));
  EXPECT_EQ(L"9.2.0.1133", out.Text());
  ASSERT_TRUE(ApplyDottedVersion(installed, L"8.2.1", &out));
  EXPECT_EQ(L"8.2.1.1133", out.Text());
  EXPECT_EQ(-1, CompareVersions(installed, out));
  ASSERT_TRUE(ApplyDottedVersion(installed, L"1.2.3.4", &out));
  EXPECT_EQ(L"1.2.3.4", out.Text());
  EXPECT_FALSE(ApplyDottedVersion(installed, L"", &out));
  EXPECT_FALSE(ApplyDottedVersion(installed, L"1.2.3.4.5", &out));
  EXPECT_FALSE(ApplyDottedVersion(installed, L"1..2", &out));
  EXPECT_FALSE(ApplyDottedVersion(installed, L"1.x", &out));
  EXPECT_FALSE(ApplyDottedVersion(installed, L"65536", &out));
}

TEST(PickedInstallFolderTest, Rules) {
  FakeProbes probes;
  std::wstring candidate = L"old";
  EXPECT_EQ(L"", CheckPickedInstallFolder(probes, L"", false, &candidate));
  EXPECT_EQ(L"", candidate);
  EXPECT_EQ(L"ERROR_NOTWRITEABLE", CheckPickedInstallFolder(probes, L"C:\\x", false, &candidate));
  EXPECT_EQ(L"ERROR_TOO_LANG",
            CheckPickedInstallFolder(probes, L"C:\\" + std::wstring(98, L'a'), true, &candidate));
  // 100 characters pass; the suffix is added after the length rule.
  EXPECT_EQ(L"",
            CheckPickedInstallFolder(probes, L"C:\\" + std::wstring(97, L'a'), true, &candidate));
  EXPECT_EQ(L"C:\\" + std::wstring(97, L'a') + L"\\Lum\\Bastion", candidate);
  EXPECT_EQ(L"ERROR_NOUDISK",
            CheckPickedInstallFolder(probes, L"\\\\srv\\share", true, &candidate));
  EXPECT_EQ(L"", CheckPickedInstallFolder(probes, L"D:\\", true, &candidate));
  EXPECT_EQ(L"D:\\Lum\\Bastion", candidate);
  probes.freeBytes = kMinFreeBytes;
  EXPECT_EQ(L"ERROR_NODISKSPACE", CheckPickedInstallFolder(probes, L"D:\\", true, &candidate));
  EXPECT_EQ(L"", candidate);
  probes.driveClass = kDriveRemovable;
  EXPECT_EQ(L"ERROR_NOUDISK", CheckPickedInstallFolder(probes, L"E:\\x", true, &candidate));
}

}  // namespace
}  // namespace lum
