// The installer's silent install run end to end: files, configuration files
// and registry defaults of a first install, a reinstall that keeps the
// user's choices, a file in use replaced at restart, and the exit codes of a
// damaged payload.
//
// The tests build on each other's machine state (first install, then
// reinstall), so they live in one fixture and run in order.
#include <gtest/gtest.h>
#include <windows.h>

// tlhelp32.h builds on windows.h.
#include <tlhelp32.h>

#include <ctime>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "app/session_environment_win.h"
#include "base/json.h"
#include "base/text.h"
#include "install/product_records.h"
#include "report/machine_id_win.h"
#include "system/file_ops_win.h"
#include "system/product_location_win.h"
#include "system/registry_win.h"
#include "system/win_handle_win.h"
#include "tests/e2e/e2e_support.h"
#include "tests/e2e/service_support.h"

namespace lum {
namespace {

using e2e::InstallerPath;
using e2e::ReadBytes;
using e2e::RegDword;
using e2e::RegString;
using e2e::RunProgram;
using e2e::PendingRenamesIn;
using e2e::TempFolder;
using e2e::WriteBytes;


std::wstring Profile(const std::wstring& file, const wchar_t* section, const wchar_t* key) {
  wchar_t value[256] = {};
  GetPrivateProfileStringW(section, key, L"", value, 255, file.c_str());
  return value;
}

// Every file left in the work folders of earlier runs ("%TEMP%\Lum_install_*").
std::vector<std::wstring> WorkFolderFiles(const std::wstring& folder) {
  std::vector<std::wstring> files;
  WIN32_FIND_DATAW data;
  UniqueFindHandle find(FindFirstFileW((folder + L"\\*").c_str(), &data));
  if (!find) return files;
  do {
    const std::wstring name = data.cFileName;
    if (name == L"." || name == L"..") continue;
    const std::wstring path = folder + L"\\" + name;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      for (const std::wstring& f : WorkFolderFiles(path)) files.push_back(f);
    } else {
      files.push_back(path);
    }
  } while (FindNextFileW(find.Get(), &data));
  return files;
}

std::vector<std::wstring> LeftInWorkFolders() {
  std::vector<std::wstring> files;
  WIN32_FIND_DATAW data;
  const std::wstring temp = e2e::WorkFolderParent();
  UniqueFindHandle find(FindFirstFileW((temp + L"Lum_install_*").c_str(), &data));
  if (!find) return files;
  do {
    for (const std::wstring& f : WorkFolderFiles(temp + data.cFileName)) files.push_back(f);
  } while (FindNextFileW(find.Get(), &data));
  return files;
}

bool ReplaceResource(const std::wstring& exe, int id, const std::string& bytes) {
  HANDLE update = BeginUpdateResourceW(exe.c_str(), FALSE);
  if (!update) return false;
  BOOL ok = UpdateResourceW(update, L"FILE", MAKEINTRESOURCEW(id),
                            MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US),
                            const_cast<char*>(bytes.data()), static_cast<DWORD>(bytes.size()));
  return EndUpdateResourceW(update, !ok) && ok;
}

// Every file below `folder` with its bytes. The stand-ins' records
// ("*.calls", "*.starts") are left out: they grow with each call and start.
void CollectFiles(const std::wstring& folder, std::map<std::wstring, std::string>* files) {
  WIN32_FIND_DATAW data;
  UniqueFindHandle find(FindFirstFileW((folder + L"\\*").c_str(), &data));
  if (!find) return;
  do {
    const std::wstring name = data.cFileName;
    if (name == L"." || name == L"..") continue;
    const std::wstring path = folder + L"\\" + name;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
      CollectFiles(path, files);
    else if (!EndsWithNoCase(name, L".calls") && !EndsWithNoCase(name, L".starts"))
      (*files)[path] = ReadBytes(path);
  } while (FindNextFileW(find.Get(), &data));
}

bool ProcessRuns(const wchar_t* name) {
  UniqueFileHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  PROCESSENTRY32W entry = {sizeof(entry)};
  for (BOOL more = snapshot && Process32FirstW(snapshot.Get(), &entry); more;
       more = Process32NextW(snapshot.Get(), &entry))
    if (lstrcmpiW(entry.szExeFile, name) == 0) return true;
  return false;
}

bool WaitForProcess(const wchar_t* name, DWORD ms) {
  for (DWORD waited = 0; waited < ms; waited += 250) {
    if (ProcessRuns(name)) return true;
    Sleep(250);
  }
  return ProcessRuns(name);
}

// Names of the work folders ("Lum_install_*").
std::set<std::wstring> WorkFolderNames() {
  std::set<std::wstring> names;
  WIN32_FIND_DATAW data;
  UniqueFindHandle find(
      FindFirstFileW((e2e::WorkFolderParent() + L"Lum_install_*").c_str(), &data));
  if (!find) return names;
  do names.insert(data.cFileName);
  while (FindNextFileW(find.Get(), &data));
  return names;
}

constexpr const wchar_t* kAppPaths = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";

class InstallE2eTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { installDir_ = DefaultInstallDir(); }
  void SetUp() override {
    installer_ = InstallerPath();
    if (installer_.empty()) GTEST_SKIP() << "LUM_INSTALLER is not set";
    log_ = TempFolder() + L"lum_install_e2e.log";
  }
  std::wstring In(const std::wstring& relative) const { return installDir_ + L"\\" + relative; }
  std::wstring Log() const { return Utf8ToWide(ReadBytes(log_)); }
  int Install() { return RunProgram(installer_, L"/s /log:" + log_); }

  static std::wstring installDir_;
  std::wstring installer_, log_;
};
std::wstring InstallE2eTest::installDir_;

TEST_F(InstallE2eTest, FirstSilentInstallLeavesAWorkingInstallation) {
  ASSERT_EQ(0, Install()) << Log();
  EXPECT_EQ(L"C:\\Program Files (x86)\\Lum\\Bastion", installDir_);
  for (const wchar_t* file : {L"FeedBack.ini", L"safemon\\setting.ini", L"safemon\\wd.ini",
                              L"config\\newui\\themes\\default\\theme.xml", L"updatecfg.ini"})
    EXPECT_TRUE(FileExists(In(file))) << file;

  for (const wchar_t* file : {L"config.ini", L"i18n\\i18n.ini", L"softmgr\\AdvUtils.ini"})
    EXPECT_EQ("\xFF\xFE", ReadBytes(In(file)).substr(0, 2)) << file;
  EXPECT_EQ(L"en", Profile(In(L"config.ini"), L"UI", L"language"));
  EXPECT_EQ(L"Lum Bastion", Profile(In(L"config.ini"), L"UI", L"title"));
  EXPECT_EQ(L"0", Profile(In(L"config.ini"), L"UI", L"schannel"));
  EXPECT_EQ(L"en", Profile(In(L"i18n\\i18n.ini"), L"Main", L"DefaultLanguage"));
  EXPECT_EQ(L"Tahoma", Profile(In(L"i18n\\i18n.ini"), L"Font", L"Name2"));
  EXPECT_EQ(L"\x5FAE\x8EDF\x6B63\x9ED1\x9AD4", Profile(In(L"i18n\\i18n.ini"), L"Font", L"Name1"));
  EXPECT_EQ(L"en", Profile(In(L"softmgr\\AdvUtils.ini"), L"qurl", L"lang"));
  // The theme's font block now names a face for every language of the
  // table, not only the single English entry the payload ships.
  const std::string theme = ReadBytes(In(L"config\\newui\\themes\\default\\theme.xml"));
  EXPECT_NE(std::string::npos, theme.find("<zh-TW face=")) << theme;
  EXPECT_NE(std::string::npos, theme.find("<ru face=")) << theme;
  EXPECT_NE(std::string::npos, theme.find("</language_font_face>")) << theme;
  // The language's monitor texts are copied over the default ones.
  EXPECT_EQ(ReadBytes(In(L"i18n\\en\\safemon\\wd.ini")), ReadBytes(In(L"safemon\\wd.ini")));

  EXPECT_EQ(installDir_, RegString(HKEY_LOCAL_MACHINE, kAppPaths + std::wstring(L"ZVSafeMain.exe"), L"Path"));
  EXPECT_EQ(In(L"safemon\\ZVSafeTray.exe"),
            RegString(HKEY_LOCAL_MACHINE, kAppPaths + std::wstring(L"ZVSafeTray.exe"), L""));
  EXPECT_EQ(installDir_, RegString(HKEY_LOCAL_MACHINE, kAppPaths + std::wstring(L"Lumsafe.exe"),
                                   L"Path", RegView::k32));
  EXPECT_EQ(L"\"" + In(L"safemon\\ZVSafeTray.exe") + L"\" /start",
            RegString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run",
                      L"ZVSafeTray", RegView::k32));
  EXPECT_EQ(L"Lum Security Center\\Lum Bastion",
            RegString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\LumBastion\\Shortcut", L"StartMenu"));
  EXPECT_EQ(L"smurf", RegString(HKEY_LOCAL_MACHINE, L"Software\\LumBastion\\Theme", L""));
  EXPECT_NE(L"<none>", RegString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\LumBastion", L"InstallDate"));
  EXPECT_EQ(1u, RegDword(HKEY_LOCAL_MACHINE, L"SOFTWARE\\LumBastion\\UserProfile", L"MaskFlags"));
  EXPECT_EQ(1u, RegDword(HKEY_LOCAL_MACHINE, L"SOFTWARE\\LumBastion\\UserProfile", L"ShowTrayIcon"));
  EXPECT_EQ(0xDEADu, RegDword(HKEY_LOCAL_MACHINE, L"SOFTWARE\\LumBastion\\UserProfile", L"ReInstall"));
  EXPECT_EQ(0x80u, RegDword(HKEY_CURRENT_USER, L"SOFTWARE\\LumBastion\\Experience", L"ShowTipsValue") & 0x80);
  EXPECT_EQ(L"0", RegString(HKEY_CURRENT_USER, L"Software\\Lumdesktoplite\\Config", L"new_func_tips"));
  {
    RegKey coop;
    DWORD type = 0;
    ASSERT_TRUE(coop.Open(HKEY_LOCAL_MACHINE, L"SOFTWARE\\LumSafe\\Coop", KEY_QUERY_VALUE));
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(coop.Get(), L"insttime", nullptr, &type, nullptr, nullptr));
    EXPECT_EQ(static_cast<DWORD>(REG_QWORD), type);
  }
  // Nothing stays in the work folder, not even the payload's repair tool
  // (the install folder has its own).
  for (const std::wstring& left : LeftInWorkFolders()) ADD_FAILURE() << "left: " << WideToUtf8(left);
}

TEST_F(InstallE2eTest, SecondSilentRunIsAReinstallThatKeepsUserChoices) {
  ASSERT_TRUE(FileExists(In(L"safemon\\setting.ini"))) << "needs the first install";
  ASSERT_TRUE(WriteBytes(In(L"safemon\\setting.ini"), "[user]\r\nedited=1\r\n"));
  {
    RegKey tips;
    ASSERT_TRUE(tips.Create(HKEY_CURRENT_USER, L"Software\\Lumdesktoplite\\Config", KEY_SET_VALUE));
    ASSERT_TRUE(tips.WriteString(L"new_func_tips", L"1"));
    RegKey profile;
    ASSERT_TRUE(profile.Create(HKEY_LOCAL_MACHINE, L"SOFTWARE\\LumBastion\\UserProfile", KEY_SET_VALUE));
    ASSERT_TRUE(profile.WriteDword(L"MaskFlags", 5));
  }
  WritePrivateProfileStringW(L"UI", L"channel", L"kept", In(L"config.ini").c_str());
  // The installed common module tells its edition (the stand-in answers this
  // variable) and records its life.
  const std::wstring commonCalls = In(L"LumBNCommon.calls");
  DeleteFileW(commonCalls.c_str());
  SetEnvironmentVariableW(L"LUM_PRODUCT_EDITION", L"1");

  ASSERT_EQ(0, Install()) << Log();
  SetEnvironmentVariableW(L"LUM_PRODUCT_EDITION", nullptr);
  EXPECT_EQ("[user]\r\nedited=1\r\n", ReadBytes(In(L"safemon\\setting.ini")));
  EXPECT_EQ(1u, RegDword(HKEY_LOCAL_MACHINE, L"SOFTWARE\\LumBastion\\UserProfile", L"ReInstall"));
  // The product has not yet looked at the installer's languages: it is told
  // which one this run chose.
  const std::wstring arrival = RegString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\LumBastion\\Experience",
                                         L"NewLanguageArrivalCheck");
  EXPECT_TRUE(arrival != L"<none>" && !arrival.empty()) << WideToUtf8(arrival);
  EXPECT_EQ(5u, RegDword(HKEY_LOCAL_MACHINE, L"SOFTWARE\\LumBastion\\UserProfile", L"MaskFlags"));
  EXPECT_EQ(L"1", RegString(HKEY_CURRENT_USER, L"Software\\Lumdesktoplite\\Config", L"new_func_tips"));
  EXPECT_EQ(L"kept", Profile(In(L"config.ini"), L"UI", L"channel"));
  EXPECT_NE(std::wstring::npos, Log().find(L"reinstall into")) << Log();

  // The common module was loaded only once the base module vouched for it,
  // and unloaded before placement, so its file was replaced in place.
  EXPECT_EQ("attach build=10.0.0.1\r\nGetEdition -> 1\r\ndetach\r\n", ReadBytes(commonCalls));
  const std::wstring log = Log(), common = In(L"LumBNCommon.dll");
  const size_t run = log.rfind(L"reinstall into");
  const size_t verified = log.find(L"verify file: trusted, kind 1 | " + common, run);
  const size_t loaded = log.find(L"load common module | " + common + L" | 0", run);
  const size_t unloaded = log.find(L"unload common module | LumBNCommon.dll | 0", run);
  const size_t copied = log.find(L"move file in | " + common + L" | 0", run);
  ASSERT_NE(std::wstring::npos, verified) << log;
  ASSERT_NE(std::wstring::npos, copied) << log;
  EXPECT_LT(verified, loaded);
  EXPECT_LT(loaded, unloaded);
  EXPECT_LT(unloaded, copied);
}

TEST_F(InstallE2eTest, FileInUseIsReplacedAtRestartAndTheRunSucceeds) {
  const std::wstring held = In(L"FeedBack.ini");
  ASSERT_TRUE(FileExists(held)) << "needs the first install";
  // A byte-identical file counts as placed; a changed one must be replaced.
  ASSERT_TRUE(WriteBytes(held, "changed by the user"));
  UniqueFileHandle open(CreateFileW(held.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(open.Valid());
  ASSERT_EQ(0, Install()) << Log();
  open.Reset();

  RegKey manager;
  ASSERT_TRUE(manager.Open(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\Session Manager",
                           KEY_QUERY_VALUE));
  DWORD size = 0, type = 0;
  ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExW(manager.Get(), L"PendingFileRenameOperations", nullptr,
                                            &type, nullptr, &size));
  std::wstring list(size / sizeof(wchar_t) + 1, L'\0');
  ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExW(manager.Get(), L"PendingFileRenameOperations", nullptr,
                                            &type, reinterpret_cast<BYTE*>(&list[0]), &size));
  for (wchar_t& c : list)
    if (c == L'\0') c = L'|';
  EXPECT_NE(std::wstring::npos, ToLowerAscii(list).find(ToLowerAscii(L"Bastion\\FeedBack.ini")))
      << WideToUtf8(list);
}

// Over a product of major version 9 the run stores the theme record, which the
// product's reader (the key and cipher of tools/config_decode --record theme)
// turns back into the JSON the product expects.
TEST_F(InstallE2eTest, ReinstallOverVersion9StoresTheScrambledThemeRecord) {
  const std::wstring versionFile = In(L"ZVVer.dll");
  std::string bytes = ReadBytes(versionFile);
  const size_t fixed = bytes.find(std::string("\xBD\x04\xEF\xFE", 4));
  ASSERT_NE(std::string::npos, fixed) << "needs the first install";
  for (size_t field : {fixed + 10, fixed + 18}) {  // high words of file and product version
    bytes[field] = 9;
    bytes[field + 1] = 0;
  }
  ASSERT_TRUE(WriteBytes(versionFile, bytes));
  RegKey::DeleteTree(HKEY_CURRENT_USER, L"Software\\LumBastion\\Theme");
  const long long before = static_cast<long long>(time(nullptr));

  ASSERT_EQ(0, Install()) << Log();
  EXPECT_EQ(L"smurf", RegString(HKEY_CURRENT_USER, L"Software\\LumBastion\\Theme", L"name"));
  const std::wstring stored = RegString(HKEY_CURRENT_USER, L"Software\\LumBastion\\Theme", L"ext");
  std::string json;
  JsonValue theme;
  ASSERT_TRUE(UnscrambleRecord(ProductRecord::kTheme, stored, &json)) << WideToUtf8(stored);
  ASSERT_TRUE(ParseJson(json, &theme) && theme.IsObject()) << json;
  EXPECT_EQ(4u, theme.size()) << json;
  EXPECT_EQ("smurf", theme["theme_name"].AsString());
  EXPECT_TRUE(theme["theme_type"].IsInt() && theme["theme_type"].AsInt() == 1) << json;
  EXPECT_EQ(WideToUtf8(MidText()), theme["uid"].AsString());
  ASSERT_TRUE(theme["time"].IsString()) << json;
  const long long at = std::stoll(theme["time"].AsString());
  EXPECT_TRUE(at >= before && at <= before + 600) << json;
}

// A payload file that cannot be read part-way through the placement: the
// run ends with 119 and leaves the product as it found it, running.
TEST_F(InstallE2eTest, PlacementThatFailsPartWayPutsEveryFileBackAndStartsTheProductAgain) {
  // A clean reinstall first: a run purges what earlier runs left waiting
  // for the restart, which is not this test's business.
  ASSERT_EQ(0, Install()) << Log();
  // Late in the archive, so that the files before it are replaced already.
  const std::wstring relative = L"deepscan\\qutmload.dll";
  const std::wstring victim = In(relative);
  ASSERT_TRUE(FileExists(victim)) << "needs an earlier install";

  // The product as its user has it: main program open, active defense on.
  {
    e2e::RunningInstaller main(In(L"ZVSafeMain.exe"), L"");
    ASSERT_TRUE(main.Started());
  }
  ASSERT_TRUE(WaitForProcess(L"ZVSafeMain.exe", 10000));
  ASSERT_EQ(static_cast<DWORD>(SERVICE_RUNNING), e2e::ServiceState(L"ZVActiveDefense"));
  // The tray of the user's session, which the run ends too, and a title the
  // run's configuration step would overwrite: both as they were afterwards.
  {
    e2e::RunningInstaller tray(In(L"safemon\\ZVSafeTray.exe"), L"/start");
    ASSERT_TRUE(tray.Started());
  }
  ASSERT_TRUE(WaitForProcess(L"ZVSafeTray.exe", 10000));
  ASSERT_TRUE(WritePrivateProfileStringW(L"UI", L"title", L"the product's own title",
                                         In(L"config.ini").c_str()));
  std::map<std::wstring, std::string> before;
  CollectFiles(installDir_, &before);
  const std::wstring pendingBefore = PendingRenamesIn(installDir_);
  const std::set<std::wstring> oldFolders = WorkFolderNames();

  e2e::RunningInstaller run(installer_, L"/s /log:" + log_);
  ASSERT_TRUE(run.Started());
  // Held without sharing as soon as the extraction lets go of it: the
  // installer can then neither copy it nor stage it.
  UniqueFileHandle held;
  for (DWORD waited = 0; !held && waited < 120000; waited += 5) {
    for (const std::wstring& folder : WorkFolderNames()) {
      if (oldFolders.count(folder)) continue;
      const std::wstring source =
          e2e::WorkFolderParent() + folder + L"\\temp_files\\" + relative;
      held.Reset(CreateFileW(source.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
      if (held) break;
    }
    if (!held) Sleep(5);
  }
  ASSERT_TRUE(held.Valid()) << "payload file never extracted: " << WideToUtf8(relative);
  const int code = run.Wait(300000);
  held.Reset();

  const std::wstring log = Log();
  EXPECT_EQ(119, code) << WideToUtf8(log);
  // The log names the file and why.
  const size_t line = log.find(L"file not placed: " + victim + L": copy failed");
  EXPECT_NE(std::wstring::npos, line) << WideToUtf8(log);
  if (line != std::wstring::npos) {
    EXPECT_NE(std::wstring::npos, log.substr(line, log.find(L'\n', line) - line).find(L"error 32"))
        << WideToUtf8(log.substr(line, 300));
  }
  // Every original file byte for byte, and nothing beside them.
  std::map<std::wstring, std::string> after;
  CollectFiles(installDir_, &after);
  for (const auto& file : before) {
    const auto now = after.find(file.first);
    if (now == after.end())
      ADD_FAILURE() << "lost: " << WideToUtf8(file.first);
    else
      EXPECT_TRUE(now->second == file.second) << "changed: " << WideToUtf8(file.first);
  }
  for (const auto& file : after)
    EXPECT_EQ(1u, before.count(file.first)) << "left behind: " << WideToUtf8(file.first);
  EXPECT_EQ(WideToUtf8(pendingBefore), WideToUtf8(PendingRenamesIn(installDir_)));
  // What the run stopped runs again.
  EXPECT_TRUE(WaitForProcess(L"ZVSafeMain.exe", 15000)) << "main program not started again";
  EXPECT_NE(std::wstring::npos, log.find(L"program started again | ", line)) << WideToUtf8(log);
  EXPECT_TRUE(WaitForProcess(L"ZVSafeTray.exe", 15000)) << "tray not started again";
  EXPECT_NE(std::wstring::npos, log.find(L"configuration files restored", line)) << WideToUtf8(log);
  EXPECT_EQ(static_cast<DWORD>(SERVICE_RUNNING), e2e::ServiceState(L"ZVActiveDefense"));
  EXPECT_EQ(std::wstring::npos, log.find(L"[registry]", line)) << "registry steps ran";

  // Files before it had been replaced (and were put back).
  const size_t rolledBack =
      line == std::wstring::npos ? line : log.find(L"placement rolled back (", line);
  EXPECT_NE(std::wstring::npos, rolledBack);
  if (rolledBack != std::wstring::npos) {
    EXPECT_NE(0, log.compare(rolledBack, 26, L"placement rolled back (0 f")) << "none placed first";
  }

  // Nothing is in the way of the next run.
  EXPECT_EQ(0, Install()) << Log();
}

class DamagedInstallerTest : public InstallE2eTest {
 protected:
  void SetUp() override {
    InstallE2eTest::SetUp();
    if (IsSkipped()) return;
    copy_ = TempFolder() + L"lum_damaged_" + std::to_wstring(GetCurrentProcessId()) + L".exe";
    ASSERT_TRUE(CopyFileW(installer_.c_str(), copy_.c_str(), FALSE));
  }
  void TearDown() override {
    if (!copy_.empty()) DeleteFileW(copy_.c_str());
  }
  std::wstring copy_;
};

TEST_F(DamagedInstallerTest, CorruptArchiveEndsWith117) {
  ASSERT_TRUE(ReplaceResource(copy_, 501, std::string("7z\xBC\xAF\x27\x1C this is not an archive", 32)));
  EXPECT_EQ(117, RunProgram(copy_, L"/s /BNinstall /log:" + log_)) << Log();
}

TEST_F(DamagedInstallerTest, ArchiveLibraryThatCannotLoadEndsWith116) {
  ASSERT_TRUE(ReplaceResource(copy_, 500, std::string(4096, 'x')));
  EXPECT_EQ(116, RunProgram(copy_, L"/s /BNinstall /log:" + log_)) << Log();
}

}  // namespace
}  // namespace lum
