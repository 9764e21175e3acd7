// The pre-install checks against Wine's real registry, files and kernel
// objects. Drives that this machine lacks (USB, RAM disk, a full disk) come
// through the drive and free-space seams.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/session_environment_win.h"
#include "install/pre_install_checks_win.h"
#include "system/file_ops_win.h"
#include "system/product_location_win.h"
#include "system/registry_win.h"
#include "system/win_handle_win.h"

#include "tests/wine/planted_link.h"

namespace lum {
namespace {

std::wstring Scratch() { return L"C:\\lum_precheck_" + std::to_wstring(GetCurrentProcessId()); }

void WriteBytes(const std::wstring& path, const std::vector<uint8_t>& bytes) {
  UniqueFileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(file.Valid());
  DWORD written = 0;
  ASSERT_TRUE(
      ::WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
}

std::vector<uint8_t> ReadBytes(const std::wstring& path) {
  std::vector<uint8_t> bytes;
  UniqueFileHandle file(
      CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  LARGE_INTEGER size = {};
  if (!file || !GetFileSizeEx(file.Get(), &size)) return bytes;
  bytes.resize(static_cast<size_t>(size.QuadPart));
  DWORD read = 0;
  ::ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
  return bytes;
}

// A copy of this test program with another fixed file version; the signature
// of VS_FIXEDFILEINFO follows the "VS_VERSION_INFO" key.
bool WriteVersionedCopy(const std::wstring& path, const ProductVersion& version) {
  std::vector<uint8_t> bytes = ReadBytes(OwnModulePath());
  const wchar_t* key = L"VS_VERSION_INFO";
  const size_t keyBytes = (wcslen(key) + 1) * 2;
  for (size_t i = 0; i + keyBytes + 64 < bytes.size(); i += 2) {
    if (memcmp(bytes.data() + i, key, keyBytes) != 0) continue;
    size_t at = (i + keyBytes + 3) & ~size_t{3};
    uint32_t signature = 0;
    memcpy(&signature, bytes.data() + at, 4);
    if (signature != 0xFEEF04BD) continue;
    const uint32_t high = version.High();
    const uint32_t low = version.Low();
    memcpy(bytes.data() + at + 8, &high, 4);
    memcpy(bytes.data() + at + 12, &low, 4);
    WriteBytes(path, bytes);
    return true;
  }
  return false;
}

int FakeUsbDrive(wchar_t) { return kDriveRemovable; }
int FakeRamDisk(wchar_t) { return kDriveRamDisk; }
bool ExactlyTooLittleSpace(const std::wstring&, uint64_t* bytes) {
  *bytes = kMinFreeBytes;
  return true;
}
bool JustEnoughSpace(const std::wstring&, uint64_t* bytes) {
  *bytes = kMinFreeBytes + 1;
  return true;
}
bool SpaceUnreadable(const std::wstring&, uint64_t*) { return false; }
bool TrustEverything(const std::wstring&) { return true; }
bool TrustNothing(const std::wstring&) { return false; }

const wchar_t* const kUninstallNames[] = {L"Warden Antivirus",
                                          L"Warden Rampart",
                                          L"LumBastion",
                                          L"Lum Internet Security",
                                          L"Lum Internet Security 2013",
                                          L"safebox",
                                          L"Lum Game Safe Box",
                                          L"Lum Safe Guard",
                                          L"LumSD"};
const wchar_t* const kAppPathNames[] = {L"Lumsafe.exe", L"Sifter.exe", L"ZVSafeMain.exe"};

class PreInstallChecksTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Clean();
    ASSERT_TRUE(CreateDirectoryW(Scratch().c_str(), nullptr));
    uninstaller_ = Scratch() + L"\\uninst.exe";
    WriteBytes(uninstaller_, {'M', 'Z'});
    SetFileTrustCheckForTest(&TrustEverything);
  }
  void TearDown() override {
    Clean();
    SetDriveClassifierForTest(nullptr);
    SetFreeSpaceReaderForTest(nullptr);
    SetFileTrustCheckForTest(nullptr);
  }
  static void Clean() {
    for (const wchar_t* name : kUninstallNames)
      RegKey::DeleteTree(HKEY_LOCAL_MACHINE, std::wstring(kUninstallRoot) + name);
    for (const wchar_t* name : kAppPathNames) {
      RegKey::DeleteTree(HKEY_LOCAL_MACHINE, std::wstring(kAppPathsRoot) + name);
      RegKey::DeleteTree(HKEY_LOCAL_MACHINE, std::wstring(kAppPathsRoot) + name, RegView::k32);
    }
    DeleteFolderTree(Scratch());
  }
  static void SetUninstall(const std::wstring& name, const std::wstring& command) {
    RegKey key;
    ASSERT_TRUE(key.Create(HKEY_LOCAL_MACHINE, kUninstallRoot + name, KEY_SET_VALUE));
    ASSERT_TRUE(key.WriteString(L"UninstallString", command));
  }
  static void SetAppPath(const std::wstring& program, const std::wstring& name,
                         const std::wstring& value, RegView view = RegView::kDefault) {
    RegKey key;
    ASSERT_TRUE(key.Create(HKEY_LOCAL_MACHINE, kAppPathsRoot + program, KEY_SET_VALUE, view));
    ASSERT_TRUE(key.WriteString(name, value));
  }
  // An installed product in Scratch()\prod whose ZVVer.dll has `version`.
  static void InstallProduct(const ProductVersion& version) {
    const std::wstring folder = Scratch() + L"\\prod";
    CreateDirectoryW(folder.c_str(), nullptr);
    ASSERT_TRUE(WriteVersionedCopy(folder + L"\\ZVVer.dll", version));
    SetAppPath(L"ZVSafeMain.exe", L"Path", folder, RegView::k32);
  }
  int Code() { return FindConflictingProduct().exitCode; }

  std::wstring uninstaller_;
};

TEST_F(PreInstallChecksTest, UninstallKeysWithExistingUninstallersGiveTheirCodes) {
  EXPECT_EQ(0, Code());
  EXPECT_FALSE(FindConflictingProduct().present);

  SetUninstall(L"Lum Internet Security 2013", L"\"" + uninstaller_ + L"\" /uninstall");
  EXPECT_EQ(505, Code());
  EXPECT_EQ(L"ERROR_CNINTERNETEXIST", FindConflictingProduct().messageKey);
  // The partner product is probed first.
  SetUninstall(L"Warden Rampart", uninstaller_);
  const ConflictInfo partner = FindConflictingProduct();
  EXPECT_TRUE(partner.present);
  EXPECT_EQ(504, partner.exitCode);
  EXPECT_EQ(L"ERROR_CNWARDENEXIST", partner.messageKey);
  Clean();
  CreateDirectoryW(Scratch().c_str(), nullptr);
  WriteBytes(uninstaller_, {'M', 'Z'});

  SetUninstall(L"safebox", uninstaller_);
  EXPECT_EQ(506, Code());
  // The start-up record asks the same detection.
  WinSessionEnvironment env;
  EXPECT_EQ(506, env.FindConflictingProduct().exitCode);
}

TEST_F(PreInstallChecksTest, UninstallKeyWhoseUninstallerIsGoneIsNoConflict) {
  SetUninstall(L"Warden Antivirus", Scratch() + L"\\gone.exe");
  SetUninstall(L"Lum Internet Security", L"");
  SetUninstall(L"safebox", Scratch());  // a folder is not an uninstaller
  EXPECT_EQ(0, Code());
}

TEST_F(PreInstallChecksTest, EditionOfOwnUninstallKey) {
  RegKey key;
  ASSERT_TRUE(
      key.Create(HKEY_LOCAL_MACHINE, std::wstring(kUninstallRoot) + L"LumBastion", KEY_SET_VALUE));
  ASSERT_TRUE(key.WriteString(L"Edition", L"professional"));
  EXPECT_EQ(0, Code());
  ASSERT_TRUE(key.WriteString(L"Edition", L"CLEANER"));
  EXPECT_EQ(510, Code());
  EXPECT_EQ(L"ERROR_PC_CLEANER", FindConflictingProduct().messageKey);
  ASSERT_TRUE(key.WriteString(L"Edition", L"Essential"));
  EXPECT_EQ(507, Code());
  EXPECT_EQ(L"ERROR_CNLUMBASTIONESSENTIAL", FindConflictingProduct().messageKey);
}

TEST_F(PreInstallChecksTest, VendorFilesCountOnlyWhenTrusted) {
  const std::wstring entFolder = Scratch() + L"\\ent";
  CreateDirectoryW(entFolder.c_str(), nullptr);
  WriteBytes(entFolder + L"\\LumEntClient.exe", {'M', 'Z'});
  // The client is looked for beside the program that App Paths names.
  SetAppPath(L"Lumsafe.exe", L"", entFolder + L"\\Lumsafe.exe");
  EXPECT_EQ(508, Code());
  SetFileTrustCheckForTest(&TrustNothing);
  EXPECT_EQ(0, Code());

  RegKey::DeleteTree(HKEY_LOCAL_MACHINE, std::wstring(kAppPathsRoot) + L"Lumsafe.exe");
  SetAppPath(L"Sifter.exe", L"", L"\"" + uninstaller_ + L"\"");
  EXPECT_EQ(0, Code());
  SetFileTrustCheckForTest(&TrustEverything);
  EXPECT_EQ(509, Code());
  EXPECT_EQ(L"ERROR_CNWNDFILTEREXIST", FindConflictingProduct().messageKey);
}

TEST_F(PreInstallChecksTest, ChineseEditionAndFamilyAntivirusCombine) {
  SetUninstall(L"Lum Safe Guard", uninstaller_);
  EXPECT_EQ(501, Code());
  SetUninstall(L"LumSD", uninstaller_);
  EXPECT_EQ(503, Code());
  RegKey::DeleteTree(HKEY_LOCAL_MACHINE, std::wstring(kUninstallRoot) + L"Lum Safe Guard");
  EXPECT_EQ(502, Code());
  SetFileTrustCheckForTest(&TrustNothing);  // an untrusted antivirus uninstaller is ignored
  EXPECT_EQ(0, Code());
}

TEST_F(PreInstallChecksTest, InstalledVersionAgainstThisInstaller) {
  // Nothing installed: an install, never a refusal.
  EXPECT_EQ(1, CompareWithInstalled());
  EXPECT_EQ(7, CompareInstalledWith(L"1.0", 7));

  ProductVersion own;
  ASSERT_TRUE(ReadProductVersion(OwnModulePath(), &own));
  InstallProduct(own);
  ProductVersion installed;
  ASSERT_TRUE(ReadInstalledProductVersion(&installed));
  EXPECT_EQ(own.Text(), installed.Text());
  EXPECT_EQ(0, CompareWithInstalled());
  EXPECT_EQ(0, CompareInstalledWith(own.Text(), 7));

  ProductVersion newer = own;
  newer.part[2] = static_cast<uint16_t>(own.part[2] + 1);  // a newer build only
  InstallProduct(newer);
  EXPECT_EQ(-1, CompareWithInstalled());
  // Parts not given keep the installed values.
  EXPECT_EQ(0, CompareInstalledWith(std::to_wstring(own.part[0]), 7));
  EXPECT_EQ(1, CompareInstalledWith(own.Text(), 7));
  EXPECT_EQ(-1, CompareInstalledWith(std::to_wstring(own.part[0] + 1), 7));
  EXPECT_EQ(7, CompareInstalledWith(L"not.a.version", 7));

  SessionSettings session;
  session.installDir = Scratch() + L"\\target";
  EXPECT_EQ(115, SilentPreCheck(session, 0));

  ProductVersion older = own;
  older.part[0] = static_cast<uint16_t>(own.part[0] - 1);
  InstallProduct(older);
  EXPECT_EQ(1, CompareWithInstalled());
  // A version file without a version resource is not comparable.
  WriteBytes(Scratch() + L"\\prod\\ZVVer.dll", {'M', 'Z', 0, 0});
  EXPECT_EQ(1, CompareWithInstalled());
}

TEST_F(PreInstallChecksTest, SilentChecksOnTheInstallFolder) {
  SessionSettings session;
  EXPECT_EQ(113, SilentPreCheck(session, 0));
  EXPECT_EQ(108, SilentPreCheck(session, 108));  // the procedure's code comes first
  session.conflictPresent = 1;
  session.conflictExitCode = 509;
  EXPECT_EQ(509, SilentPreCheck(session, 108));
  session.conflictPresent = 0;

  // A file where a folder is expected.
  session.installDir = uninstaller_ + L"\\Lum\\Bastion";
  EXPECT_EQ(109, SilentPreCheck(session, 0));
  // A drive letter that does not exist.
  session.installDir = L"Q:\\Lum\\Bastion";
  EXPECT_EQ(109, SilentPreCheck(session, 0));

  session.installDir = Scratch() + L"\\deep\\Lum\\Bastion";
  SetFreeSpaceReaderForTest(&JustEnoughSpace);
  EXPECT_EQ(0, SilentPreCheck(session, 0));
  EXPECT_TRUE(FolderExists(session.installDir));
  SetDriveClassifierForTest(&FakeUsbDrive);
  EXPECT_EQ(112, SilentPreCheck(session, 0));
  SetDriveClassifierForTest(nullptr);
  SetFreeSpaceReaderForTest(&ExactlyTooLittleSpace);
  EXPECT_EQ(111, SilentPreCheck(session, 0));
  SetFreeSpaceReaderForTest(&SpaceUnreadable);
  EXPECT_EQ(0, SilentPreCheck(session, 0));
}

TEST_F(PreInstallChecksTest, WorkFolderIsCreatedAnewAndAPlantedOneIsNeverUsed) {
  auto check = [](std::wstring path) { return CreateFreshWorkFolder(&path); };
  EXPECT_EQ(101, check(L""));
  EXPECT_EQ(101, check(L"C:\\"));
  EXPECT_EQ(101, check(L"C:\\" + std::wstring(257, L'a')));
  SetFreeSpaceReaderForTest(&JustEnoughSpace);
  const std::wstring work = Scratch() + L"\\a\\b\\Lum_install_1\\";
  std::wstring made = work;
  EXPECT_EQ(0, CreateFreshWorkFolder(&made));
  EXPECT_EQ(work, made);
  EXPECT_TRUE(FolderExists(work));
  EXPECT_TRUE(IsProtectedFolderOfThisRun(work));

  // Held open by this process: it can be neither renamed nor removed, so no
  // one can put a folder or a link of his own in its place.
  std::wstring held = work;
  held.pop_back();
  EXPECT_FALSE(MoveFileW(held.c_str(), (held + L"_moved").c_str()));
  EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), GetLastError());
  EXPECT_FALSE(RemoveDirectoryW(held.c_str()));
  EXPECT_TRUE(IsProtectedFolderOfThisRun(work));
  // Let go, it is an ordinary folder again, and its name alone is not enough.
  ReleaseProtectedFolder(work);
  EXPECT_FALSE(IsProtectedFolderOfThisRun(work));

  // A folder of that name that someone else made first (here with a module
  // in it) is left alone: a name nobody could foresee is created and used.
  const std::wstring planted = Scratch() + L"\\a\\b\\Lum_install_2";
  ASSERT_TRUE(CreateDirectoryW(planted.c_str(), nullptr));
  made = planted + L"\\";
  EXPECT_EQ(0, CreateFreshWorkFolder(&made));
  EXPECT_EQ(0u, made.find(planted + L"_")) << WideToUtf8(made);
  EXPECT_EQ(planted.size() + 1 + 8 + 1, made.size()) << WideToUtf8(made);
  EXPECT_FALSE(IsProtectedFolderOfThisRun(planted));
  EXPECT_TRUE(IsProtectedFolderOfThisRun(made));
  ReleaseProtectedFolder(made);  // so the scratch folder can go

  // A link where the parent should be: nothing is created through it.
  const std::wstring elsewhere = Scratch() + L"\\elsewhere";
  const std::wstring linked = Scratch() + L"\\linked";
  ASSERT_TRUE(CreateDirectoryW(elsewhere.c_str(), nullptr));
  // Not empty: removing the link can never take its target along instead.
  WriteBytes(elsewhere + L"\\keep.txt", {'k'});
  if (planted::PlantFolderLink(linked, elsewhere)) {
    made = linked + L"\\Lum_install_3\\";
    EXPECT_NE(0, CreateFreshWorkFolder(&made));
    EXPECT_FALSE(FolderExists(elsewhere + L"\\Lum_install_3"));
    EXPECT_TRUE(planted::RemovePlantedLink(linked));
  } else {
    ADD_FAILURE() << "no link could be planted";
  }

  EXPECT_EQ(108, check(uninstaller_ + L"\\work"));
  SetFreeSpaceReaderForTest(&ExactlyTooLittleSpace);
  EXPECT_EQ(111, check(Scratch() + L"\\c"));
  SetDriveClassifierForTest(&FakeRamDisk);
  EXPECT_EQ(112, check(Scratch() + L"\\c"));
  EXPECT_FALSE(FolderExists(Scratch() + L"\\c"));
}

TEST_F(PreInstallChecksTest, WritableTestLeavesNothingBehind) {
  const std::wstring folder = Scratch() + L"\\w";
  ASSERT_TRUE(IsWritableFolder(folder));
  WIN32_FIND_DATAW data;
  UniqueFindHandle find(FindFirstFileW((folder + L"\\*.dat").c_str(), &data));
  EXPECT_FALSE(find.Valid());
  EXPECT_FALSE(IsWritableFolder(L""));
}

TEST_F(PreInstallChecksTest, RealDrivesOfThisMachine) {
  EXPECT_EQ(kDriveLocalFixed, ClassifyDrive(L'c'));
  EXPECT_EQ(kDriveLocalFixed, ClassifyDrive(L'1'));
  uint64_t bytes = 0;
  EXPECT_TRUE(ReadFreeBytes(L"C:\\", &bytes));
  EXPECT_FALSE(ReadFreeBytes(L"Q:\\nowhere", &bytes));
  EXPECT_TRUE(IsSupportedWindows());
}

TEST_F(PreInstallChecksTest, RunningFamilyPrograms) {
  EXPECT_EQ(0, FindRunningFamilyProgram(false, nullptr).index);
  UniqueHandle account(CreateMutexW(nullptr, FALSE, L"Local\\ZLumAccount"));
  EXPECT_EQ(1002, FindRunningFamilyProgram(false, nullptr).code);
  // Editions 2 and 3 bring the account program along.
  EXPECT_EQ(0, FindRunningFamilyProgram(true, [] { return 3; }).index);
  EXPECT_EQ(1002, FindRunningFamilyProgram(true, [] { return 1; }).code);
  EXPECT_EQ(1002, FindRunningFamilyProgram(false, [] { return 2; }).code);
  UniqueHandle updater(CreateMutexW(nullptr, FALSE, L"Local\\ZLumDriverUpdaterRunning"));
  EXPECT_EQ(1004, FindRunningFamilyProgram(true, [] { return 3; }).code);
  UniqueHandle booster(CreateMutexW(nullptr, FALSE, L"Local\\ZLumGameBooster"));
  EXPECT_EQ(1003, FindRunningFamilyProgram(false, nullptr).code);
  UniqueHandle cleaner(CreateMutexW(nullptr, FALSE, L"Local\\ZLumCleanupPlusWorking"));
  const RunningProgramRow row = FindRunningFamilyProgram(false, nullptr);
  EXPECT_EQ(1001, row.code);
  EXPECT_STREQ(L"ERROR_RUNNING_CLEANPLUS", row.messageKey);
  cleaner.Reset();
  booster.Reset();
  updater.Reset();
  account.Reset();
  // The probes' own mutexes do not outlive the probe.
  EXPECT_EQ(0, FindRunningFamilyProgram(false, nullptr).index);
}

}  // namespace
}  // namespace lum
