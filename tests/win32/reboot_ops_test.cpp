// Restart-time file operations against Wine's real files and registry: files
// held open by another handle, the system's pending rename list and RunOnce.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/install_log.h"
#include "base/text.h"
#include "system/file_ops_win.h"
#include "system/reboot_ops_win.h"
#include "system/registry_win.h"
#include "system/win_handle_win.h"
#include "tests/win32/folder_rights.h"

namespace lum {
namespace {

std::wstring Scratch() { return L"C:\\lum_reboot_" + std::to_wstring(GetCurrentProcessId()); }

void WriteText(const std::wstring& path, const std::string& text) {
  UniqueFileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(file.Valid());
  DWORD written = 0;
  ASSERT_TRUE(
      ::WriteFile(file.Get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr));
}

std::string ReadText(const std::wstring& path) {
  UniqueFileHandle file(CreateFileW(path.c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, 0, nullptr));
  if (!file) return "<missing>";
  char buffer[256] = {};
  DWORD read = 0;
  ::ReadFile(file.Get(), buffer, sizeof(buffer), &read, nullptr);
  return std::string(buffer, read);
}

// Open for reading and writing, shared for both but not for delete: the way a
// running program holds its module, as far as deleting and renaming go.
UniqueFileHandle HoldOpen(const std::wstring& path) {
  return UniqueFileHandle(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                      nullptr));
}

bool ReadRawPending(std::vector<uint8_t>* data, DWORD* type) {
  RegKey key;
  if (!key.Open(HKEY_LOCAL_MACHINE, kSessionManagerKey, KEY_QUERY_VALUE)) return false;
  DWORD size = 0;
  if (RegQueryValueExW(key.Get(), kPendingRenamesValue, nullptr, type, nullptr, &size) !=
      ERROR_SUCCESS)
    return false;
  data->assign(size, 0);
  return size == 0 || RegQueryValueExW(key.Get(), kPendingRenamesValue, nullptr, type, data->data(),
                                       &size) == ERROR_SUCCESS;
}

void WriteRawPending(const std::vector<uint8_t>& data, DWORD type) {
  RegKey key;
  ASSERT_TRUE(key.Open(HKEY_LOCAL_MACHINE, kSessionManagerKey, KEY_SET_VALUE));
  ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key.Get(), kPendingRenamesValue, 0, type, data.data(),
                                          static_cast<DWORD>(data.size())));
}

void DeletePending() {
  RegKey key;
  if (key.Open(HKEY_LOCAL_MACHINE, kSessionManagerKey, KEY_SET_VALUE))
    key.DeleteValue(kPendingRenamesValue);
}

std::vector<PendingRename> Pending() {
  std::vector<uint8_t> data;
  DWORD type = 0;
  std::vector<PendingRename> list;
  if (ReadRawPending(&data, &type)) ParsePendingRenames(data.data(), data.size(), &list);
  return list;
}

// The pending pair that replaces `destination`, or null.
const PendingRename* ReplacementOf(const std::vector<PendingRename>& list,
                                   const std::wstring& destination) {
  for (const PendingRename& pair : list)
    if (!pair.destination.empty() && EndsWithNoCase(pair.destination, destination)) return &pair;
  return nullptr;
}

class RebootOpsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    hadPending_ = ReadRawPending(&savedPending_, &savedType_);
    DeleteFolderTree(Scratch());
    ASSERT_TRUE(CreateDirectoryW(Scratch().c_str(), nullptr));
    source_ = Scratch() + L"\\new.bin";
    WriteText(source_, "new content");
    SetRebootNeeded(false);
    SetDoNotStartProduct(false);
  }
  void TearDown() override {
    if (hadPending_)
      WriteRawPending(savedPending_, savedType_);
    else
      DeletePending();
    RegKey runOnce;
    if (runOnce.Open(HKEY_LOCAL_MACHINE, kRunOnceKey, KEY_SET_VALUE))
      for (const std::wstring& name : runOnceNames_) runOnce.DeleteValue(name);
    DeleteFolderTree(Scratch());
    SetRebootNeeded(false);
    SetDoNotStartProduct(false);
  }
  void SetRunOnce(const std::wstring& name, const std::wstring& data) {
    runOnceNames_.push_back(name);
    RegKey key;
    ASSERT_TRUE(key.Create(HKEY_LOCAL_MACHINE, kRunOnceKey, KEY_SET_VALUE));
    ASSERT_TRUE(key.WriteString(name, data));
  }

  std::wstring source_;
  std::vector<std::wstring> runOnceNames_;
  bool hadPending_ = false;
  std::vector<uint8_t> savedPending_;
  DWORD savedType_ = 0;
};

TEST_F(RebootOpsTest, FreeDestinationIsReplacedNowInANewFolder) {
  const std::wstring destination = Scratch() + L"\\prod\\sub\\ZVSafeMain.exe";
  ASSERT_TRUE(ReplaceFileAtReboot(source_, destination));
  EXPECT_EQ("new content", ReadText(destination));
  WriteText(destination, "old");
  ASSERT_TRUE(ReplaceFileAtReboot(source_, destination));
  EXPECT_EQ("new content", ReadText(destination));
  EXPECT_FALSE(RebootNeeded());
  EXPECT_FALSE(DoNotStartProduct());
  EXPECT_EQ(nullptr, ReplacementOf(Pending(), destination));
}

TEST_F(RebootOpsTest, MissingSourceFails) {
  EXPECT_FALSE(ReplaceFileAtReboot(Scratch() + L"\\absent.bin", Scratch() + L"\\x.bin"));
  EXPECT_FALSE(FileExists(Scratch() + L"\\x.bin"));
  EXPECT_FALSE(RebootNeeded());
}

TEST_F(RebootOpsTest, HeldFileIsReplacedAtRestartAndAsksForOne) {
  const std::wstring destination = Scratch() + L"\\engine.dll";
  WriteText(destination, "old content");
  UniqueFileHandle held = HoldOpen(destination);
  ASSERT_TRUE(held.Valid());

  ASSERT_TRUE(ReplaceFileAtReboot(source_, destination));
  EXPECT_EQ("old content", ReadText(destination));
  EXPECT_TRUE(RebootNeeded());
  EXPECT_FALSE(DoNotStartProduct());
  const std::vector<PendingRename> list = Pending();
  const PendingRename* pair = ReplacementOf(list, destination);
  ASSERT_NE(nullptr, pair);
  // The new content waits in a "Lum" temporary file beside the destination.
  const std::wstring staged = StripNtPrefix(pair->source);
  EXPECT_EQ(0, _wcsnicmp(staged.c_str(), (Scratch() + L"\\Lum").c_str(), Scratch().size() + 4))
      << staged;
  EXPECT_EQ("new content", ReadText(staged));
}

TEST_F(RebootOpsTest, HeldMainProgramIsNotStartedAfterTheInstall) {
  const std::wstring destination = Scratch() + L"\\ZVSafeMain.exe";
  WriteText(destination, "old main");
  UniqueFileHandle held = HoldOpen(destination);
  ASSERT_TRUE(ReplaceFileAtReboot(source_, destination));
  EXPECT_TRUE(RebootNeeded());
  EXPECT_TRUE(DoNotStartProduct());
  EXPECT_NE(nullptr, ReplacementOf(Pending(), destination));
}

TEST_F(RebootOpsTest, HeldGuardModuleIsScheduledWithoutAskingForARestart) {
  const std::wstring destination = Scratch() + L"\\safemon\\SafeMon.dll";
  CreateDirectoryW((Scratch() + L"\\safemon").c_str(), nullptr);
  WriteText(destination, "old guard");
  UniqueFileHandle held = HoldOpen(destination);
  ASSERT_TRUE(ReplaceFileAtReboot(source_, destination));
  EXPECT_FALSE(RebootNeeded());
  EXPECT_FALSE(DoNotStartProduct());
  EXPECT_NE(nullptr, ReplacementOf(Pending(), destination));
}

// Files named "Lum*.tmp" in `folder` (renamed originals and staged copies).
std::vector<std::wstring> TempFilesIn(const std::wstring& folder) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW data;
  UniqueFindHandle find(FindFirstFileW((folder + L"\\Lum*.tmp").c_str(), &data));
  if (!find) return names;
  do names.push_back(data.cFileName);
  while (FindNextFileW(find.Get(), &data));
  return names;
}

TEST_F(RebootOpsTest, FileThatCanBeNeitherCopiedNorScheduledKeepsTheOriginalAndFails) {
  // A read-only destination cannot be deleted but can be renamed aside; a
  // source held without sharing then fails both the copy and the staging.
  const std::wstring destination = Scratch() + L"\\engine.dll";
  WriteText(destination, "old content");
  ASSERT_TRUE(SetFileAttributesW(destination.c_str(), FILE_ATTRIBUTE_READONLY));
  UniqueFileHandle lockedSource(
      CreateFileW(source_.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(lockedSource.Valid());
  const size_t before = Pending().size();

  EXPECT_FALSE(ReplaceFileAtReboot(source_, destination));
  EXPECT_EQ("old content", ReadText(destination));  // put back, not lost at the restart
  EXPECT_TRUE(TempFilesIn(Scratch()).empty());      // no renamed original, no staged copy
  EXPECT_EQ(before, Pending().size());              // nothing waits for the restart
  EXPECT_FALSE(RebootNeeded());

  // Nothing held: the same call places the file.
  lockedSource.Reset();
  SetFileAttributesW(destination.c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_TRUE(ReplaceFileAtReboot(source_, destination));
  EXPECT_EQ("new content", ReadText(destination));
}

// Names and contents of the files directly in `folder`.
std::vector<std::string> Listing(const std::wstring& folder) {
  std::vector<std::string> entries;
  WIN32_FIND_DATAW data;
  UniqueFindHandle find(FindFirstFileW((folder + L"\\*").c_str(), &data));
  if (!find) return entries;
  do {
    const std::wstring name = data.cFileName;
    if (name != L"." && name != L"..")
      entries.push_back(WideToUtf8(name) + "=" + ReadText(folder + L"\\" + name));
  } while (FindNextFileW(find.Get(), &data));
  std::sort(entries.begin(), entries.end());
  return entries;
}

// Extracted files in the run's admin-only work folder are renamed into the
// install folder on the same volume, each then given the install folder's
// rights (Wine keeps no file rights: there the reset asked for is read from
// the log), and a placement that fails after some renames leaves the install
// folder as it was.
TEST_F(RebootOpsTest, RenamedFilesTakeTheFolderRightsAndAFailedPlacementLeavesTheFolderAsItWas) {
  std::string lines;
  log::SetSink([&lines](const std::string& line) { lines += line + "\n"; });
  const std::wstring work = Scratch() + L"\\work";
  const std::wstring product = Scratch() + L"\\prod";
  ASSERT_TRUE(CreateProtectedFolder(work));
  ASSERT_TRUE(CreateDirectoryW(product.c_str(), nullptr));
  for (const wchar_t* name : {L"a.dll", L"b.exe", L"held.dll"})
    WriteText(work + L"\\" + name, "new " + WideToUtf8(name));
  WriteText(product + L"\\a.dll", "old a.dll");
  WriteText(product + L"\\held.dll", "old held.dll");
  WriteText(product + L"\\user.ini", "not ours");
  const std::vector<std::string> before = Listing(product);
  EXPECT_TRUE(OnSameVolume(work, product + L"\\not yet made"));

  WinPlacementFiles files;
  PlacementJournal journal(files);
  journal.Begin();
  for (const wchar_t* name : {L"a.dll", L"b.exe"}) {
    const std::wstring placed = product + L"\\" + name;
    EXPECT_EQ(FilePlacement::kCopied,
              PlaceInstallFile(journal, work + L"\\" + name, placed, true).outcome);
    EXPECT_EQ("new " + WideToUtf8(name), ReadText(placed));
    EXPECT_FALSE(FileExists(work + L"\\" + name)) << "copied, not renamed";
    EXPECT_NE(std::string::npos, lines.find("rights of moved file: those its folder passes on | " +
                                            WideToUtf8(placed) + " | 0"))
        << lines;
    if (FolderRightsAreKept()) {
      // Nothing of the work folder's own protected rights: only what the
      // install folder passes on.
      PSECURITY_DESCRIPTOR descriptor = nullptr;
      PACL dacl = nullptr;
      ASSERT_EQ(ERROR_SUCCESS,
                GetNamedSecurityInfoW(placed.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION,
                                      nullptr, nullptr, &dacl, nullptr, &descriptor));
      UniqueLocal owned(descriptor);
      SECURITY_DESCRIPTOR_CONTROL control = 0;
      DWORD revision = 0;
      GetSecurityDescriptorControl(descriptor, &control, &revision);
      EXPECT_FALSE(control & SE_DACL_PROTECTED);
      ASSERT_NE(nullptr, dacl);
      EXPECT_LT(0, dacl->AceCount);
      for (DWORD i = 0; i < dacl->AceCount; ++i) {
        void* ace = nullptr;
        ASSERT_TRUE(GetAce(dacl, i, &ace));
        EXPECT_TRUE(static_cast<ACE_HEADER*>(ace)->AceFlags & INHERITED_ACE) << i;
      }
    }
  }
  // A file a program holds without sharing deletion can be neither renamed
  // aside nor, here, left for the restart: the placement fails.
  UniqueFileHandle held = HoldOpen(product + L"\\held.dll");
  ASSERT_TRUE(held.Valid());
  PlacementOptions noRestart;
  noRestart.allowRestart = false;
  noRestart.moveSource = true;
  EXPECT_EQ(FilePlacement::kFailed,
            journal.Place(work + L"\\held.dll", product + L"\\held.dll", noRestart).outcome);
  held.Reset();
  EXPECT_TRUE(journal.Rollback());
  EXPECT_EQ(before, Listing(product));  // no new file, no aside name, every original back
  log::ClearSink();
  ReleaseProtectedFolder(work);
}

TEST_F(RebootOpsTest, HeldFileWithTheSameContentIsNotScheduled) {
  const std::wstring destination = Scratch() + L"\\same.dll";
  WriteText(destination, "new content");
  UniqueFileHandle held = HoldOpen(destination);
  const size_t before = Pending().size();
  ASSERT_TRUE(ReplaceFileAtReboot(source_, destination));
  EXPECT_EQ(before, Pending().size());
  EXPECT_EQ(nullptr, ReplacementOf(Pending(), destination));
}

TEST_F(RebootOpsTest, PurgeDropsOnlyTempAndCabFilesOfTheInstallFolder) {
  const std::wstring folder = Scratch() + L"\\Bastion";
  CreateDirectoryW(folder.c_str(), nullptr);
  CreateDirectoryW((folder + L"\\update").c_str(), nullptr);
  WriteText(folder + L"\\update\\patch.bin", "x");
  WriteText(folder + L"\\Lum1.tmp", "stale");
  WriteText(folder + L"\\sig.CAB", "stale");
  UniqueFileHandle heldCab = HoldOpen(folder + L"\\sig.CAB");
  const std::vector<PendingRename> original = {
      {L"\\??\\" + folder + L"\\Lum1.tmp", L"!\\??\\" + folder + L"\\engine.dll"},
      {L"\\??\\" + folder + L"\\old.dll", L""},
      {L"\\??\\" + folder + L"\\sig.CAB", L""},
      {L"\\??\\C:\\elsewhere\\x.tmp", L""},
  };
  WriteRawPending(SerializePendingRenames(original), REG_MULTI_SZ);

  ASSERT_TRUE(PurgeInstallFolderRenames(folder));
  const std::vector<PendingRename> list = Pending();
  ASSERT_GE(list.size(), 2u);
  EXPECT_EQ(original[1].source, list[0].source);
  EXPECT_EQ(L"", list[0].destination);
  EXPECT_EQ(original[3].source, list[1].source);
  // The held cabinet could not go now, so it goes at the restart.
  ASSERT_EQ(3u, list.size());
  EXPECT_TRUE(EndsWithNoCase(list[2].source, folder + L"\\sig.CAB"));
  EXPECT_EQ(L"", list[2].destination);
  EXPECT_FALSE(FileExists(folder + L"\\Lum1.tmp"));
  EXPECT_FALSE(FolderExists(folder + L"\\update"));
}

TEST_F(RebootOpsTest, PurgeLeavesAbsentOrMalformedListsAlone) {
  const std::wstring folder = Scratch() + L"\\Bastion";
  CreateDirectoryW(folder.c_str(), nullptr);
  CreateDirectoryW((folder + L"\\update").c_str(), nullptr);
  DeletePending();
  EXPECT_FALSE(PurgeInstallFolderRenames(folder));
  EXPECT_TRUE(FolderExists(folder + L"\\update"));

  std::vector<uint8_t> malformed =
      SerializePendingRenames({{L"\\??\\" + folder + L"\\a.tmp", L""}});
  malformed.resize(malformed.size() - 6);  // cut inside the destination's terminator
  WriteRawPending(malformed, REG_MULTI_SZ);
  EXPECT_FALSE(PurgeInstallFolderRenames(folder));
  std::vector<uint8_t> after;
  DWORD type = 0;
  ASSERT_TRUE(ReadRawPending(&after, &type));
  // Wine hands a string value back with a terminator added; the stored bytes
  // themselves must be unchanged.
  ASSERT_GE(after.size(), malformed.size());
  EXPECT_EQ(malformed, std::vector<uint8_t>(after.begin(), after.begin() + malformed.size()));

  WriteRawPending(SerializePendingRenames({{L"\\??\\" + folder + L"\\a.tmp", L""}}), REG_BINARY);
  EXPECT_FALSE(PurgeInstallFolderRenames(folder));
}

TEST_F(RebootOpsTest, UninstallMarkerOfTheFolder) {
  const std::wstring folder = L"C:\\Program Files\\Lum\\Bastion";
  EXPECT_FALSE(RemoveUninstallMarker(folder));
  SetRunOnce(UninstallMarkerName(folder), L"cmd /c \"C:\\x\\removeLum.bat\"");
  SetRunOnce(UninstallMarkerName(L"D:\\Other"), L"cmd /c \"D:\\x\\removeLum.bat\"");
  EXPECT_TRUE(HasPendingProductUninstall());
  EXPECT_TRUE(RemoveUninstallMarker(folder));
  EXPECT_FALSE(RemoveUninstallMarker(folder));
  RegKey key;
  ASSERT_TRUE(key.Open(HKEY_LOCAL_MACHINE, kRunOnceKey, KEY_QUERY_VALUE));
  EXPECT_TRUE(key.HasValue(UninstallMarkerName(L"D:\\Other")));
}

TEST_F(RebootOpsTest, PendingProductUninstallNeedsTheRemovalScript) {
  EXPECT_FALSE(HasPendingProductUninstall());
  SetRunOnce(L"Lumsafeuninst_x", L"C:\\x\\cleanup.exe");
  SetRunOnce(L"OtherTool", L"C:\\x\\removeLum.bat");
  EXPECT_FALSE(HasPendingProductUninstall());
  SetRunOnce(L"Lumsafeuninst", L"cmd /c C:\\x\\removeLum.bat");
  EXPECT_TRUE(HasPendingProductUninstall());
}

TEST_F(RebootOpsTest, PendingUninstallRecordFollowsTheLookupOrder) {
  EXPECT_EQ(0, FindPendingUninstall().kind);
  SetRunOnce(L"DeleteLumsd", L"x");
  PendingUninstall record = FindPendingUninstall();
  EXPECT_EQ(2, record.kind);
  EXPECT_EQ(502, record.exitCode);
  EXPECT_EQ(L"ERROR_CNSDEXIST", record.messageKey);
  SetRunOnce(L"Lumsafeuninst", L"x");
  EXPECT_EQ(501, FindPendingUninstall().exitCode);
  SetRunOnce(L"sdel", L"x");
  record = FindPendingUninstall();
  EXPECT_EQ(5, record.kind);
  EXPECT_EQ(505, record.exitCode);
  EXPECT_EQ(L"ERROR_CNINTERNETEXIST", record.messageKey);
}

}  // namespace
}  // namespace lum
