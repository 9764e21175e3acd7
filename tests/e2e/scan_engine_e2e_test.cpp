// Removal of the scan engines' files against the stand-in product's file
// module "BAPI.dll": files held open or mapped, the ".bak" fallback with its
// restart-time delete, the module loaded once for concurrent callers, its
// failure codes, and the deep-scan switches.
//
// The process-wide module is loaded by the first test and kept: the tests run
// in order in one process, on a fresh prefix.
#include <gtest/gtest.h>
#include <windows.h>
// These headers build on windows.h.
#include <aclapi.h>
#include <sddl.h>

#include <string>
#include <thread>

#include "base/install_log.h"
#include "base/text.h"
#include "install/bapi_helper_win.h"
#include "install/scan_engine_win.h"
#include "system/file_ops_win.h"
#include "system/folder_tree_win.h"
#include "system/registry_win.h"
#include "system/win_handle_win.h"
#include "vendor/base_module_win.h"
#include "tests/e2e/e2e_support.h"
#include "tests/wine/planted_link.h"

namespace lum {
namespace {

using e2e::Count;
using e2e::ReadBytes;
using e2e::ReadText;

constexpr const wchar_t* kProduct = L"C:\\LumEngineTest\\Product";
const std::wstring kRoot = std::wstring(kProduct) + L"\\DeepScan\\SDEng\\";
const std::wstring kModule = std::wstring(kProduct) + L"\\deepscan\\BAPI.dll";
const std::wstring kCalls = std::wstring(kProduct) + L"\\deepscan\\BAPI.calls";

std::wstring BuiltModule(const wchar_t* relative) {
  wchar_t build[1024] = {};
  const DWORD n = GetEnvironmentVariableW(L"LUM_BUILD_DIR", build, 1023);
  if (n == 0 || n >= 1023) return std::wstring();
  return std::wstring(build) + L"\\product\\" + relative;
}

bool WriteFile(const std::wstring& path, const std::string& bytes) {
  CreateFolderTree(ParentFolder(path));
  UniqueFileHandle file(
      CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  DWORD written = 0;
  return file &&
         ::WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

std::wstring PendingRenames() {
  std::wstring list = e2e::PendingRenameValue();
  for (wchar_t& c : list)
    if (c == L'\0') c = L'|';
  return ToLowerAscii(list);
}

std::wstring WorkFolder() {
  // The default prefix reports Windows 7: the common application data folder.
  wchar_t common[MAX_PATH] = {};
  GetEnvironmentVariableW(L"ALLUSERSPROFILE", common, MAX_PATH);
  return std::wstring(common) + L"\\LumSafe\\";
}

class ScanEngineTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (BuiltModule(L"").empty()) return;
    // The file module is loaded only when the base module vouches for it,
    // which this (elevated) process loads, as the installer does, only from
    // a folder it made for SYSTEM and the Administrators.
    const std::wstring base = e2e::TempFolder() + L"lum_engine_base_" + std::to_wstring(GetTickCount());
    if (CreateProtectedFolder(base) &&
        CopyFileW(BuiltModule(L"Lumbase.dll").c_str(), (base + L"\\Lumbase.dll").c_str(), TRUE))
      LoadBaseModule(base + L"\\Lumbase.dll");
    CreateFolderTree(std::wstring(kProduct) + L"\\deepscan");
    CopyFileW(BuiltModule(L"deepscan\\BAPI.dll").c_str(), kModule.c_str(), FALSE);
    RegKey appPaths;
    appPaths.Create(HKEY_LOCAL_MACHINE,
                    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\ZVSafeMain.exe",
                    KEY_SET_VALUE, RegView::k32);
    appPaths.WriteString(L"Path", kProduct);
  }
  void SetUp() override {
    if (BuiltModule(L"").empty()) GTEST_SKIP() << "LUM_BUILD_DIR is not set";
    ASSERT_TRUE(FileExists(kModule));
  }
};

TEST_F(ScanEngineTest, ConcurrentRemovalWaitsUntilTheFirstCallerLoadedTheModule) {
  ASSERT_TRUE(WriteFile(kRoot + L"bd\\engine.dat", "engine 2"));
  ASSERT_TRUE(WriteFile(WorkFolder() + L"bd\\work\\cache.dat", "cache"));
  SetEnvironmentVariableW(L"LUM_BAPI_INSTALL_DELAY_MS", L"400");
  std::thread first([] { RemoveEngineFiles(kEngineBd, true); });
  while (CBAPIHelper::Instance().state() == CBAPIHelper::kNotTried) Sleep(1);
  ASSERT_EQ(CBAPIHelper::kLoading, CBAPIHelper::Instance().state());
  // The second caller starts while the first is inside "Install".
  std::wstring seenBySecond;
  std::thread second([&] {
    RemoveEngineFiles(kEngineBd, true);
    seenBySecond = ReadText(kCalls);
  });
  second.join();
  first.join();
  SetEnvironmentVariableW(L"LUM_BAPI_INSTALL_DELAY_MS", nullptr);

  EXPECT_EQ(CBAPIHelper::kLoaded, CBAPIHelper::Instance().state());
  EXPECT_NE(std::wstring::npos, seenBySecond.find(L"InitRegEngine")) << WideToUtf8(seenBySecond);
  const std::wstring calls = ReadText(kCalls);
  EXPECT_EQ(1u, Count(calls, L"Install 0")) << WideToUtf8(calls);
  EXPECT_EQ(1u, Count(calls, L"JudgeVersion"));
  EXPECT_EQ(1u, Count(calls, L"InitEngine"));
  EXPECT_FALSE(FolderExists(kRoot + L"bd"));
  EXPECT_FALSE(FolderExists(WorkFolder() + L"bd"));
  EXPECT_TRUE(FolderExists(kRoot));
}

TEST_F(ScanEngineTest, FilesInUseAreMovedAsideOrDeletedThroughTheModule) {
  ASSERT_EQ(CBAPIHelper::kLoaded, CBAPIHelper::Instance().state()) << "needs the first test";
  // A mapped module: it cannot be deleted but can be renamed.
  const std::wstring mapped = kRoot + L"savapi\\scanner.dll";
  CreateFolderTree(kRoot + L"savapi");
  ASSERT_TRUE(CopyFileW(BuiltModule(L"MenuEx.dll").c_str(), mapped.c_str(), FALSE));
  ASSERT_TRUE(WriteFile(mapped + L".bak", "an older copy"));
  UniqueModule loaded(LoadLibraryExW(mapped.c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES));
  ASSERT_TRUE(loaded.Valid());
  ASSERT_FALSE(DeleteFileW(mapped.c_str()));
  // A file held open without delete sharing: neither deleted nor renamed.
  const std::wstring held = kRoot + L"savapi\\vdf\\signatures.vdf";
  ASSERT_TRUE(WriteFile(held, "signatures"));
  UniqueFileHandle open(
      CreateFileW(held.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(open.Valid());
  ASSERT_TRUE(WriteFile(kRoot + L"savapi\\plain.dat", "0123456789"));
  ASSERT_TRUE(WriteFile(kRoot + L"AviraImp.dll", "import module"));
  ASSERT_TRUE(WriteFile(WorkFolder() + L"savapi\\temp.dat", "work"));

  EXPECT_TRUE(RemoveEngineFiles(kEngineSavapi, true));

  EXPECT_FALSE(FileExists(mapped));
  EXPECT_NE("an older copy", ReadBytes(mapped + L".bak"));
  EXPECT_FALSE(ReadBytes(mapped + L".bak").empty());
  EXPECT_NE(std::wstring::npos, PendingRenames().find(ToLowerAscii(L"\\savapi\\scanner.dll.bak|")))
      << WideToUtf8(PendingRenames());
  EXPECT_NE(std::wstring::npos, ReadText(kCalls).find(L"FSDeleteFileW " + held));
  EXPECT_FALSE(FileExists(kRoot + L"savapi\\plain.dat"));
  EXPECT_FALSE(FileExists(kRoot + L"AviraImp.dll"));
  EXPECT_FALSE(FolderExists(WorkFolder() + L"savapi"));
  EXPECT_GE(RemovedEngineBytes(), 10u + 4u);
  EXPECT_FALSE(RemoveEngineFiles(3, true));
}

TEST_F(ScanEngineTest, EachLoadFailureLeavesItsCodeAsTheLastError) {
  struct Case {
    const wchar_t* refuse;
    std::wstring module;
    DWORD code;
    bool loaded;
  };
  const std::wstring noExports = std::wstring(kProduct) + L"\\deepscan\\NoExports.dll";
  ASSERT_TRUE(CopyFileW(BuiltModule(L"MenuEx.dll").c_str(), noExports.c_str(), FALSE));
  // A module the base module does not vouch for is never loaded.
  const std::wstring untrusted = std::wstring(kProduct) + L"\\deepscan\\Untrusted.dll";
  ASSERT_TRUE(CopyFileW(BuiltModule(L"..\\planted_module.dll").c_str(), untrusted.c_str(), FALSE));
  DeleteFileW(L"C:\\lum_planted_ran.txt");
  const Case cases[] = {
      {nullptr, std::wstring(kProduct) + L"\\deepscan\\Missing.dll", 2, false},
      {nullptr, untrusted, 7, false},
      {nullptr, noExports, 3, false},
      {L"Install", kModule, 4, false},
      {L"JudgeVersion", kModule, 5, false},
      {L"InitRegEngine", kModule, 6, false},
      {L"InitEngine", kModule, 6, true},
  };
  for (const Case& c : cases) {
    SetEnvironmentVariableW(L"LUM_BAPI_REFUSE", c.refuse);
    CBAPIHelper helper(c.module);
    SetLastError(0);
    EXPECT_EQ(c.loaded, helper.Load()) << (c.refuse ? WideToUtf8(c.refuse) : "module");
    EXPECT_EQ(c.code, GetLastError()) << (c.refuse ? WideToUtf8(c.refuse) : "module");
    EXPECT_EQ(c.loaded ? CBAPIHelper::kLoaded : CBAPIHelper::kFailed, helper.state());
    // Loading is tried once: a second call answers the same.
    EXPECT_EQ(c.loaded, helper.Load());
  }
  SetEnvironmentVariableW(L"LUM_BAPI_REFUSE", nullptr);
  EXPECT_FALSE(FileExists(L"C:\\lum_planted_ran.txt")) << "the untrusted module was loaded";
  {
    DeleteFileW(kCalls.c_str());
    CBAPIHelper helper(kModule);
    ASSERT_TRUE(helper.Load());
    EXPECT_FALSE(helper.oldModule());  // the stand-in is 10.0.0.1
  }
  const std::wstring calls = ReadText(kCalls);
  EXPECT_EQ(1u, Count(calls, L"UninitEngine"));
  EXPECT_EQ(1u, Count(calls, L"UninitRegEngine"));
}

TEST_F(ScanEngineTest, WithoutAnInstalledProductNothingRelativeIsDeleted) {
  // Engine folders of no product must not resolve against the current folder.
  const std::wstring here = std::wstring(L"C:\\LumEngineTest\\Downloads");
  ASSERT_TRUE(WriteFile(here + L"\\DeepScan\\SDEng\\bd\\keep.dat", "a user's file"));
  ASSERT_TRUE(SetCurrentDirectoryW(here.c_str()));
  RegKey appPaths;
  ASSERT_TRUE(
      appPaths.Open(HKEY_LOCAL_MACHINE,
                    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\ZVSafeMain.exe",
                    KEY_SET_VALUE, RegView::k32));
  ASSERT_TRUE(appPaths.DeleteValue(L"Path"));
  EXPECT_TRUE(RemoveEngineFiles(kEngineBd, true));
  EXPECT_TRUE(FileExists(here + L"\\DeepScan\\SDEng\\bd\\keep.dat"));
  CBAPIHelper helper(L"");
  EXPECT_FALSE(helper.Load());
  EXPECT_EQ(2u, GetLastError());
  ASSERT_TRUE(appPaths.WriteString(L"Path", kProduct));
}

// Whether any entry of the folder's DACL that is not SYSTEM's, the
// Administrators' or the owner's allows a change: adding, deleting or
// replacing entries, or rewriting the rights.
bool OthersMayChange(const std::wstring& folder) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  PSID owner = nullptr;
  PACL dacl = nullptr;
  if (GetNamedSecurityInfoW(folder.c_str(), SE_FILE_OBJECT,
                            OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner,
                            nullptr, &dacl, nullptr, &descriptor) != ERROR_SUCCESS)
    return true;
  UniqueLocal hold(descriptor);
  if (!dacl) return true;  // a missing DACL lets everyone in
  const DWORD change = FILE_ADD_FILE | FILE_ADD_SUBDIRECTORY | FILE_DELETE_CHILD | DELETE |
                       WRITE_DAC | WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;
  for (DWORD i = 0; i < dacl->AceCount; ++i) {
    ACCESS_ALLOWED_ACE* ace = nullptr;
    if (!GetAce(dacl, i, reinterpret_cast<void**>(&ace)) ||
        ace->Header.AceType != ACCESS_ALLOWED_ACE_TYPE)
      continue;
    PSID sid = &ace->SidStart;
    if (IsWellKnownSid(sid, WinLocalSystemSid) || IsWellKnownSid(sid, WinBuiltinAdministratorsSid) ||
        (owner && EqualSid(sid, owner)))
      continue;
    if (ace->Mask & change) return true;
  }
  return false;
}

// A standard user may write to the common application data: a work folder
// he made first, with a link in it or as a link, never leads the removal
// elsewhere, and the folder is his no longer.
TEST_F(ScanEngineTest, PlantedLinksInTheSharedWorkFolderAreNeverWalked) {
  const std::wstring victim = L"C:\\LumEngineTest\\Victim";
  ASSERT_TRUE(WriteFile(victim + L"\\keep.dat", "someone else's file"));
  ASSERT_TRUE(WriteFile(victim + L"\\bd\\keep.dat", "someone else's file"));
  std::wstring work = WorkFolder();
  work.pop_back();
  ASSERT_TRUE(DeleteFolderTree(work));
  {
    // Made before the installer, by a user, for everyone to write to.
    PSECURITY_DESCRIPTOR open = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(
        L"D:(A;OICI;FA;;;WD)", SDDL_REVISION_1, &open, nullptr));
    UniqueLocal hold(open);
    PACL dacl = nullptr;
    BOOL present = FALSE, defaulted = FALSE;
    ASSERT_TRUE(GetSecurityDescriptorDacl(open, &present, &dacl, &defaulted));
    ASSERT_TRUE(CreateDirectoryW(work.c_str(), nullptr));
    ASSERT_EQ(static_cast<DWORD>(ERROR_SUCCESS),
              SetNamedSecurityInfoW(&work[0], SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                    nullptr, dacl, nullptr));
  }
  ASSERT_TRUE(OthersMayChange(work));
  ASSERT_TRUE(planted::PlantFolderLink(work + L"\\bd", victim)) << GetLastError();
  log::SetSink([](const std::string&) {});  // what earlier tests left buffered
  std::wstring lines;
  log::SetSink([&](const std::string& line) { lines += Utf8ToWide(line) + L"\n"; });
  EXPECT_TRUE(RemoveEngineFiles(kEngineBd, true));
  EXPECT_FALSE(OthersMayChange(work));  // his no longer

  // The whole work folder is a link.
  ASSERT_TRUE(planted::RemovePlantedLink(work + L"\\bd"));
  ASSERT_TRUE(RemoveDirectoryW(work.c_str()));
  ASSERT_TRUE(planted::PlantFolderLink(work, victim)) << GetLastError();
  EXPECT_TRUE(RemoveEngineFiles(kEngineBd, true));
  log::ClearSink();
  ASSERT_TRUE(planted::RemovePlantedLink(work));

  EXPECT_EQ("someone else's file", ReadBytes(victim + L"\\keep.dat"));
  EXPECT_EQ("someone else's file", ReadBytes(victim + L"\\bd\\keep.dat"));
  EXPECT_EQ(1u, Count(lines, L"[engine] remove engine folder refused: link on the way | " + work +
                                 L"\\bd |"))
      << WideToUtf8(lines);
  EXPECT_EQ(1u, Count(lines, L"[engine] secure engine work folder | " + work + L" | 0"));
  EXPECT_EQ(1u, Count(lines, L"[engine] engine work folder refused: link on the way | " + work +
                                 L" |"));
  EXPECT_EQ(std::wstring::npos, lines.find(L"keep.dat")) << WideToUtf8(lines);
}

TEST_F(ScanEngineTest, EngineAndDeepScanSwitches) {
  {
    RegKey deepscan;
    ASSERT_TRUE(
        deepscan.Create(HKEY_LOCAL_MACHINE, L"Software\\LumBastion\\deepscan", KEY_SET_VALUE));
    ASSERT_TRUE(deepscan.WriteDword(L"EnableBD", 1));
    ASSERT_TRUE(deepscan.WriteDword(L"EnableAvira", 1));
  }
  EXPECT_TRUE(RemoveEngineSwitch(kEngineBd));
  EXPECT_TRUE(RemoveEngineSwitch(kEngineBd));  // already gone
  EXPECT_FALSE(RemoveEngineSwitch(0));
  RegKey deepscan;
  ASSERT_TRUE(
      deepscan.Open(HKEY_LOCAL_MACHINE, L"Software\\LumBastion\\deepscan", KEY_QUERY_VALUE));
  EXPECT_FALSE(deepscan.HasValue(L"EnableBD"));
  EXPECT_TRUE(deepscan.HasValue(L"EnableAvira"));

  ASSERT_TRUE(SetDeepScanHrmDisabled(true));
  ASSERT_TRUE(SetCloudAnalysis(false));
  DWORD value = 7;
  ASSERT_TRUE(deepscan.ReadDword(L"DisableHRM", &value));
  EXPECT_EQ(1u, value);
  ASSERT_TRUE(deepscan.ReadDword(L"CloudAnalysis", &value));
  EXPECT_EQ(0u, value);
  RegKey scan;
  ASSERT_TRUE(scan.Open(HKEY_LOCAL_MACHINE, L"SOFTWARE\\LumSafe\\LumScan", KEY_QUERY_VALUE));
  ASSERT_TRUE(scan.ReadDword(L"netCheck", &value));
  EXPECT_EQ(0u, value);
}

}  // namespace
}  // namespace lum
