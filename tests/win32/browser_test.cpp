// Browser detection, the default browser, launching with the publisher check
// and the browser hosts, against stand-in browsers (build/browsers: small
// programs with the real browsers' file names and version descriptions) that
// the tests register the way each browser's installer does.
#include <gtest/gtest.h>
#include <windows.h>
// These build on windows.h.
#include <shlobj.h>

#include <map>
#include <string>
#include <vector>

#include "base/install_log.h"
#include "base/text.h"
#include "browser/browser_config.h"
#include "browser/browser_detect_win.h"
#include "browser/browser_extensions_win.h"
#include "browser/browser_launch_win.h"
#include "browser/open_link_win.h"
#include "browser/partner_offer_win.h"
#include "install/process_termination_win.h"
#include "session/session_settings.h"
#include "system/file_bytes_win.h"
#include "system/file_ops_win.h"
#include "system/folder_tree_win.h"
#include "system/process_start_win.h"
#include "system/registry_win.h"
#include "system/user_rights_start_win.h"

namespace lum {
namespace {

constexpr const wchar_t* kAppPaths = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";
constexpr const wchar_t* kUninstall = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
constexpr const wchar_t* kChromeState =
    L"SOFTWARE\\Google\\Update\\ClientState\\{8A69D345-D564-463c-AFF1-A69D9E530F96}";
constexpr const wchar_t* kEdgePackage =
    L"Software\\Classes\\Local Settings\\Software\\Microsoft\\Windows\\CurrentVersion\\AppModel\\"
    L"Repository\\Packages\\Microsoft.MicrosoftEdge_44.19041.1.0_neutral__8wekyb3d8bbwe";
constexpr const wchar_t* kUserChoice =
    L"Software\\Microsoft\\Windows\\Shell\\Associations\\UrlAssociations\\http\\UserChoice";
constexpr const wchar_t* kHttpBackup = L"Software\\LumBrowserTest\\http";
constexpr const wchar_t* kProductAppPaths =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\ZVSafeMain.exe";

std::wstring BuildFolder() { return ParentFolder(OwnModulePath()); }
std::wstring StandIn(const std::wstring& name) { return BuildFolder() + L"\\browsers\\" + name; }

void SetString(HKEY root, const std::wstring& key, const std::wstring& name,
               const std::wstring& value, RegView view = RegView::kDefault) {
  RegKey reg;
  ASSERT_TRUE(reg.Create(root, key, KEY_SET_VALUE, view) && reg.WriteString(name, value)) << key;
}

std::wstring GetString(HKEY root, const std::wstring& key, const std::wstring& name,
                       RegView view = RegView::kDefault) {
  RegKey reg;
  std::wstring value;
  if (!reg.Open(root, key, KEY_QUERY_VALUE, view) || !reg.ReadString(name, &value))
    return L"<none>";
  return value;
}

DWORD Dword(HKEY root, const std::wstring& key, const std::wstring& name) {
  RegKey reg;
  DWORD value = 0xDEAD;
  if (!reg.Open(root, key, KEY_QUERY_VALUE, RegView::k32) || !reg.ReadDword(name, &value))
    return 0xDEAD;
  return value;
}

std::vector<uint8_t> Bytes(const std::string& text) {
  return std::vector<uint8_t>(text.begin(), text.end());
}

std::wstring Launches(const std::wstring& exe) {
  UniqueFileHandle file(CreateFileW((exe + L".launches").c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                    nullptr));
  if (!file) return L"";
  std::wstring text(GetFileSize(file.Get(), nullptr) / sizeof(wchar_t), L'\0');
  DWORD read = 0;
  if (!text.empty())
    ReadFile(file.Get(), &text[0], static_cast<DWORD>(text.size() * 2), &read, nullptr);
  return text;
}

// A started stand-in records its start a moment later; a bounded wait, not
// a timing assertion.
std::wstring WaitForLaunch(const std::wstring& exe) {
  for (int i = 0; i < 300; ++i) {
    const std::wstring text = Launches(exe);
    if (!text.empty()) return text;
    Sleep(100);
  }
  return L"";
}

class BrowserTest : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH, temp);
    root_ = std::wstring(temp) + L"lum_browsers_" + std::to_wstring(GetCurrentProcessId());
    DeleteFolderTree(root_);
    ASSERT_TRUE(CreateDirectoryW(root_.c_str(), nullptr));
    // The prefix's own "http" association, whole, for the test that removes it.
    RegKey::DeleteTree(HKEY_CURRENT_USER, kHttpBackup);
    RegKey backup, http;
    if (http.Open(HKEY_LOCAL_MACHINE, L"Software\\Classes\\http", KEY_READ) &&
        backup.Create(HKEY_CURRENT_USER, kHttpBackup, KEY_ALL_ACCESS))
      httpSaved_ = RegCopyTreeW(http.Get(), nullptr, backup.Get()) == ERROR_SUCCESS;
    ieAppPath_ = GetString(HKEY_LOCAL_MACHINE, std::wstring(kAppPaths) + L"IEXPLORE.EXE", L"");
    RegKey::DeleteTree(HKEY_CURRENT_USER, kUserChoice);
  }
  void TearDown() override {
    for (const wchar_t* name : {L"firefox.exe", L"browser.exe", L"amigo.exe", L"Opera.exe"})
      RegKey::DeleteTree(HKEY_LOCAL_MACHINE, std::wstring(kAppPaths) + name);
    if (ieAppPath_ != L"<none>")
      SetString(HKEY_LOCAL_MACHINE, std::wstring(kAppPaths) + L"IEXPLORE.EXE", L"", ieAppPath_);
    for (const wchar_t* name : {L"Lumse6", L"LumChrome"})
      RegKey::DeleteTree(HKEY_LOCAL_MACHINE, std::wstring(kUninstall) + name);
    RegKey::DeleteTree(HKEY_LOCAL_MACHINE, kChromeState);
    RegKey::DeleteTree(HKEY_CURRENT_USER, kChromeState);
    RegKey::DeleteTree(HKEY_CURRENT_USER, kEdgePackage);
    RegKey::DeleteTree(HKEY_CURRENT_USER, kUserChoice);
    RegKey::DeleteTree(HKEY_CURRENT_USER, L"Software\\Classes\\MyBrowserURL");
    RegKey::DeleteTree(HKEY_CURRENT_USER, L"Software\\Classes\\FirefoxURL");
    RegKey::DeleteTree(HKEY_LOCAL_MACHINE, kProductAppPaths);
    RegKey backup, http;
    if (httpSaved_ && !RegKey::Exists(HKEY_LOCAL_MACHINE, L"Software\\Classes\\http") &&
        backup.Open(HKEY_CURRENT_USER, kHttpBackup, KEY_READ) &&
        http.Create(HKEY_LOCAL_MACHINE, L"Software\\Classes\\http", KEY_ALL_ACCESS))
      RegCopyTreeW(backup.Get(), nullptr, http.Get());
    RegKey::DeleteTree(HKEY_CURRENT_USER, L"Software\\LumBrowserTest");
    DeleteFolderTree(root_);
  }

  // Copies a stand-in to `folder` (created) and returns the copy's path.
  std::wstring Place(const std::wstring& standIn, const std::wstring& folder,
                     const std::wstring& asName = L"") {
    SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
    const std::wstring to = folder + L"\\" + (asName.empty() ? FileNamePart(standIn) : asName);
    EXPECT_TRUE(CopyFileW(standIn.c_str(), to.c_str(), FALSE)) << standIn;
    return to;
  }

  // Chrome's setup program as Google's updater records it; chrome.exe three
  // folders up from it.
  std::wstring PlaceChrome(HKEY root, const std::wstring& base) {
    const std::wstring exe = Place(StandIn(L"chrome.exe"), base + L"\\Application");
    const std::wstring setup =
        Place(StandIn(L"chrome.exe"), base + L"\\Application\\1.0\\Installer", L"setup.exe");
    SetString(root, kChromeState, L"UninstallString", setup);
    return exe;
  }

  void SetUserChoice(const std::wstring& progId, const std::wstring& command) {
    SetString(HKEY_CURRENT_USER, L"Software\\Classes\\" + progId + L"\\shell\\open\\command", L"",
              command);
    SetString(HKEY_CURRENT_USER, kUserChoice, L"Progid", progId);
  }

  std::wstring root_;
  bool httpSaved_ = false;
  std::wstring ieAppPath_;
};

TEST_F(BrowserTest, DetectsEveryStandInWithItsKindDescriptionAndShortName) {
  const std::wstring firefox = Place(StandIn(L"firefox.exe"), root_ + L"\\Mozilla Firefox");
  SetString(HKEY_LOCAL_MACHINE, std::wstring(kAppPaths) + L"firefox.exe", L"", firefox);
  const std::wstring ie = Place(StandIn(L"iexplore.exe"), root_ + L"\\Internet Explorer");
  SetString(HKEY_LOCAL_MACHINE, std::wstring(kAppPaths) + L"IEXPLORE.EXE", L"", L"\"" + ie + L"\"");
  const std::wstring yandex = Place(StandIn(L"browser.exe"), root_ + L"\\Yandex\\Application");
  SetString(HKEY_LOCAL_MACHINE, std::wstring(kAppPaths) + L"browser.exe", L"", yandex);
  const std::wstring amigo = Place(StandIn(L"amigo.exe"), root_ + L"\\Amigo");
  SetString(HKEY_LOCAL_MACHINE, std::wstring(kAppPaths) + L"amigo.exe", L"", amigo);
  const std::wstring opera = Place(StandIn(L"launcher.exe"), root_ + L"\\Opera");
  SetString(HKEY_LOCAL_MACHINE, std::wstring(kAppPaths) + L"Opera.exe", L"", opera);
  const std::wstring edge = Place(StandIn(L"MicrosoftEdge.exe"), root_ + L"\\Edge");
  SetString(HKEY_CURRENT_USER, kEdgePackage, L"PackageRootFolder", root_ + L"\\Edge");
  const std::wstring lumse6 = Place(StandIn(L"Lumse6.exe"), root_ + L"\\Lumse6");
  SetString(HKEY_LOCAL_MACHINE, std::wstring(kUninstall) + L"Lumse6", L"InstallLocation",
            root_ + L"\\Lumse6");
  SetString(HKEY_LOCAL_MACHINE, std::wstring(kUninstall) + L"Lumse6", L"DisplayVersion",
            L"6.1.0.2");
  const std::wstring lumchrome = Place(StandIn(L"Lumchrome.exe"), root_ + L"\\LumChrome");
  SetString(HKEY_LOCAL_MACHINE, std::wstring(kUninstall) + L"LumChrome", L"DisplayIcon",
            lumchrome + L",0");
  const std::wstring chrome = PlaceChrome(HKEY_LOCAL_MACHINE, root_ + L"\\Machine\\Chrome");

  std::vector<BrowserRecord> found;
  ASSERT_TRUE(DetectBrowsers(&found));
  std::map<int, BrowserRecord> byKind;
  for (const BrowserRecord& record : found) byKind[record.kind] = record;
  struct Expected {
    int kind;
    std::wstring path, description, shortName, progId;
  };
  const Expected expected[] = {
      {1, ie, L"Internet Explorer", L"ie", L"IE.HTTP"},
      {2, lumse6, L"Lum Secure Browser 6", L"Lumse6", L"LumseURL"},
      {4, lumchrome, L"Lum Chrome", L"Lumchrome", L"LumChromeURL"},
      {100, chrome, L"Google Chrome", L"googlechrome", L"ChromeHTML"},
      {101, opera, L"Opera Internet Browser", L"opera", L"OperaStable"},
      {102, yandex, L"Yandex", L"yandex", L"YandexHTML"},
      {103, firefox, L"Firefox", L"firefox", L"FirefoxURL"},
      {104, edge, L"Microsoft Edge", L"microsoftedge", L"AppX0jdgwsgpsq2tx1x8eptfkes6txmr5qtn"},
      {105, amigo, L"Amigo", L"amigo", L"Amigo"},
  };
  for (const Expected& e : expected) {
    ASSERT_EQ(byKind.count(e.kind), 1u) << "kind " << e.kind;
    const BrowserRecord& r = byKind[e.kind];
    EXPECT_TRUE(EqualsNoCase(r.path, e.path)) << e.kind << ": " << WideToUtf8(r.path);
    // Wine answers for a file named iexplore.exe from its own built-in one.
    if (e.kind == 1)
      EXPECT_TRUE(ContainsNoCase(r.description, e.description)) << WideToUtf8(r.description);
    else
      EXPECT_EQ(r.description, e.description) << e.kind;
    EXPECT_EQ(r.shortName, e.shortName) << e.kind;
    EXPECT_EQ(r.progId, e.progId) << e.kind;
  }
  EXPECT_EQ(byKind[103].openCommand, L"\"" + firefox + L"\" -osint -url \"%1\"");
  EXPECT_EQ(byKind[2].version, L"6.1.0.2");

  // Chrome installed for the user wins over the machine-wide one, while its
  // setup program is there.
  const std::wstring userChrome = PlaceChrome(HKEY_CURRENT_USER, root_ + L"\\User\\Chrome");
  BrowserRecord record;
  ASSERT_TRUE(DetectChrome(&record));
  EXPECT_TRUE(EqualsNoCase(record.path, userChrome)) << WideToUtf8(record.path);
  DeleteFileW((root_ + L"\\User\\Chrome\\Application\\1.0\\Installer\\setup.exe").c_str());
  ASSERT_TRUE(DetectChrome(&record));
  EXPECT_TRUE(EqualsNoCase(record.path, chrome)) << WideToUtf8(record.path);

  // The partner edition of Opera is its own kind; a program without a version
  // description is no browser.
  ASSERT_TRUE(WriteFileBytes(root_ + L"\\Opera\\server_tracking_data",
                             Bytes(R"(1:{"utm":{"source":"xLUMy"}})")));
  Place(BuildFolder() + L"\\lum_test_sleeper.exe", root_ + L"\\Amigo", L"amigo.exe");
  ASSERT_TRUE(DetectBrowsers(&found));
  byKind.clear();
  for (const BrowserRecord& r : found) byKind[r.kind] = r;
  EXPECT_EQ(byKind.count(101), 0u);
  ASSERT_EQ(byKind.count(106), 1u);
  EXPECT_EQ(byKind[106].shortName, L"operaLume");
  EXPECT_EQ(byKind.count(105), 0u);
}

TEST_F(BrowserTest, DefaultBrowserShortNames) {
  const std::wstring firefox = Place(StandIn(L"firefox.exe"), root_ + L"\\Mozilla Firefox");
  SetString(HKEY_LOCAL_MACHINE, std::wstring(kAppPaths) + L"firefox.exe", L"", firefox);
  SetUserChoice(L"FirefoxURL", L"\"" + firefox + L"\" -osint -url \"%1\"");
  EXPECT_TRUE(EqualsNoCase(DefaultBrowserPath(), firefox));
  EXPECT_EQ(DefaultBrowserShortName(), L"firefox");

  const std::wstring mine = Place(StandIn(L"MyBrowser.exe"), root_ + L"\\Mine");
  SetUserChoice(L"MyBrowserURL", mine + L" --url \"%1\"");
  EXPECT_EQ(DefaultBrowserShortName(), L"unkn_MyBrowser.exe");

  // The user's classes name only the type: the command comes from the machine's.
  const std::wstring split = L"Software\\Classes\\LumSplitURL";
  SetString(HKEY_LOCAL_MACHINE, split + L"\\shell\\open\\command", L"",
            L"\"" + mine + L"\" -url \"%1\"");
  SetString(HKEY_CURRENT_USER, split, L"FriendlyTypeName", L"Split");
  SetString(HKEY_CURRENT_USER, kUserChoice, L"Progid", L"LumSplitURL");
  EXPECT_TRUE(EqualsNoCase(DefaultBrowserPath(), mine)) << WideToUtf8(DefaultBrowserPath());
  RegKey::DeleteTree(HKEY_LOCAL_MACHINE, split);
  RegKey::DeleteTree(HKEY_CURRENT_USER, split);

  // No user choice and no "http" association at all.
  RegKey::DeleteTree(HKEY_CURRENT_USER, kUserChoice);
  RegKey::DeleteTree(HKEY_LOCAL_MACHINE, L"Software\\Classes\\http");
  RegKey::DeleteTree(HKEY_CURRENT_USER, L"Software\\Classes\\http");
  EXPECT_EQ(DefaultBrowserPath(), L"");
  EXPECT_EQ(DefaultBrowserShortName(), L"unkn");
}

TEST_F(BrowserTest, StartsOnlyBrowsersSignedByTheirPublisher) {
  const std::wstring url = L"https://example.invalid/licence?a=1&b=2";
  const std::wstring unsignedCopy = Place(StandIn(L"firefox.exe"), root_ + L"\\unsigned");
  const std::wstring other = Place(StandIn(L"other\\firefox.exe"), root_ + L"\\other");
  const std::wstring signedCopy = Place(StandIn(L"signed\\firefox.exe"), root_ + L"\\signed");
  EXPECT_FALSE(LaunchUrlWithBrowser(unsignedCopy, url));
  EXPECT_FALSE(LaunchUrlWithBrowser(other, url));
  ASSERT_TRUE(LaunchUrlWithBrowser(signedCopy, url));
  EXPECT_NE(WaitForLaunch(signedCopy).find(L"\"" + url + L"\""), std::wstring::npos);
  // The refused copies were never started, even with the signed one done.
  EXPECT_EQ(Launches(unsignedCopy), L"");
  EXPECT_EQ(Launches(other), L"");
  // In its own folder: the installer's folder is deleted after the run.
  EXPECT_NE(Launches(signedCopy).find(L"|cwd=" + ParentFolder(signedCopy)), std::wstring::npos)
      << WideToUtf8(Launches(signedCopy));

  // A Firefox already running with the user's rights is joined with the
  // user's rights; only one running elevated takes the installer's.
  const std::wstring launches = signedCopy + L".launches";
  const std::wstring sleeper = BuildFolder() + L"\\lum_test_sleeper.exe";
  const std::wstring userFirefox = Place(sleeper, root_ + L"\\user", L"firefox.exe");
  ASSERT_TRUE(LaunchAtMediumIntegrity(L"\"" + userFirefox + L"\" 60000", root_, "test"));
  DeleteFileW(launches.c_str());
  ASSERT_TRUE(LaunchUrlWithBrowser(signedCopy, url));
  EXPECT_NE(WaitForLaunch(signedCopy).find(L"|admin=0"), std::wstring::npos)
      << WideToUtf8(Launches(signedCopy));
  const std::wstring adminFirefox = Place(sleeper, root_ + L"\\admin", L"firefox.exe");
  PROCESS_INFORMATION elevated = {};
  ASSERT_TRUE(StartProcess(L"", L"\"" + adminFirefox + L"\" 60000", L"", kDefaultShow, 0, &elevated));
  CloseHandle(elevated.hThread);
  DeleteFileW(launches.c_str());
  ASSERT_TRUE(LaunchUrlWithBrowser(signedCopy, url));
  EXPECT_NE(WaitForLaunch(signedCopy).find(L"|admin=1"), std::wstring::npos)
      << WideToUtf8(Launches(signedCopy));
  TerminateProcess(elevated.hProcess, 0);
  CloseHandle(elevated.hProcess);
  EndAllProcesses(L"firefox.exe");

  // A link opens in the default browser; an unknown one is not held to a
  // signer and starts at medium integrity.
  const std::wstring mine = Place(StandIn(L"MyBrowser.exe"), root_ + L"\\Mine");
  SetUserChoice(L"MyBrowserURL", L"\"" + mine + L"\" \"%1\"");
  EXPECT_FALSE(OpenLink(L"", kOpenLinkDefaultBrowser));
  ASSERT_TRUE(OpenLink(url, kOpenLinkDefaultBrowser));
  const std::wstring started = WaitForLaunch(mine);
  EXPECT_NE(started.find(L"\"" + url + L"\""), std::wstring::npos);
  // Without the installer's administrator rights.
  EXPECT_NE(started.find(L"|admin=0"), std::wstring::npos) << WideToUtf8(started);
}

class BrowserHostsTest : public BrowserTest {
 protected:
  void SetUp() override {
    BrowserTest::SetUp();
    product_ = root_ + L"\\Product";
    SHCreateDirectoryExW(nullptr, (product_ + L"\\safemon").c_str(), nullptr);
    SetString(HKEY_LOCAL_MACHINE, kProductAppPaths, L"Path", product_);
    ClearKeys();
    log::SetSink([this](const std::string& line) { log_ += line + "\n"; });
  }
  void TearDown() override {
    log::ClearSink();
    ClearKeys();
    BrowserTest::TearDown();
  }
  void ClearKeys() {
    for (RegView view : {RegView::k32, RegView::k64}) {
      RegKey::DeleteTree(HKEY_LOCAL_MACHINE, std::wstring(kChromeHostKey) + L"\\" + kNativeHostName,
                         view);
      RegKey::DeleteTree(HKEY_LOCAL_MACHINE,
                         std::wstring(kFirefoxHostKey) + L"\\" + kNativeHostName, view);
    }
    RegKey::DeleteTree(HKEY_LOCAL_MACHINE, ExtensionKey(), RegView::k32);
    RegKey::DeleteTree(HKEY_LOCAL_MACHINE, L"SOFTWARE\\LumBastion\\StandIn\\Calls");
  }
  static std::wstring ExtensionKey() {
    return std::wstring(kChromeExtensionsKey) + L"\\" + kChromeExtensionId;
  }
  std::wstring Host(const wchar_t* hostKey, RegView view) {
    return GetString(HKEY_LOCAL_MACHINE, std::wstring(hostKey) + L"\\" + kNativeHostName, L"",
                     view);
  }

  std::wstring product_;
  std::string log_;
};

TEST_F(BrowserHostsTest, HostsExtensionOfferAndProxyModule) {
  SessionSettings session;
  session.productInstalled = false;
  PlaceChrome(HKEY_LOCAL_MACHINE, root_ + L"\\Chrome");
  const std::wstring chromeManifest = product_ + L"\\safemon\\chrome\\manifest.json";
  const std::wstring firefoxManifest = product_ + L"\\safemon\\chrome\\manifest_firefox.json";

  RegisterBrowserIntegration(product_, session);
  for (RegView view : {RegView::k32, RegView::k64}) {
    EXPECT_EQ(Host(kChromeHostKey, view), chromeManifest);
    EXPECT_EQ(Host(kFirefoxHostKey, view), firefoxManifest);
  }
  EXPECT_EQ(GetString(HKEY_LOCAL_MACHINE, ExtensionKey(), L"update_url", RegView::k32),
            kChromeStoreUpdateUrl);

  // The extension already in Chrome's default profile: no offer.
  ClearKeys();
  ASSERT_EQ(
      SHCreateDirectoryExW(
          nullptr,
          (root_ + L"\\Chrome\\User Data\\Default\\Extensions\\" + kChromeExtensionId).c_str(),
          nullptr),
      ERROR_SUCCESS);
  RegisterBrowserIntegration(product_, session);
  EXPECT_EQ(GetString(HKEY_LOCAL_MACHINE, ExtensionKey(), L"update_url", RegView::k32), L"<none>");
  EXPECT_EQ(Host(kFirefoxHostKey, RegView::k64), firefoxManifest);

  // With the proxy module the installer leaves the Chrome host to it; a
  // reinstall never offers the extension again.
  ClearKeys();
  DeleteFolderTree(root_ + L"\\Chrome\\User Data");
  ASSERT_TRUE(CopyFileW((BuildFolder() + L"\\product\\safemon\\SomProxy.dll").c_str(),
                        (product_ + L"\\safemon\\SomProxy.dll").c_str(), FALSE));
  session.productInstalled = true;
  log_.clear();
  RegisterBrowserIntegration(product_, session);
  EXPECT_EQ(GetString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\LumBastion\\StandIn\\Calls",
                      L"safemon\\SomProxy.dll!Install"),
            L"-;");
  // Only the Firefox host is written by the installer itself.
  EXPECT_EQ(log_.find("Google\\Chrome\\NativeMessagingHosts"), std::string::npos) << log_;
  EXPECT_NE(log_.find("Mozilla\\NativeMessagingHosts"), std::string::npos) << log_;
  for (RegView view : {RegView::k32, RegView::k64}) {
    EXPECT_EQ(Host(kChromeHostKey, view), chromeManifest);  // the proxy's own registration
    EXPECT_EQ(Host(kFirefoxHostKey, view), firefoxManifest);
  }
  EXPECT_EQ(GetString(HKEY_LOCAL_MACHINE, ExtensionKey(), L"update_url", RegView::k32), L"<none>");
}

TEST_F(BrowserHostsTest, FirstFirefoxProfileSkipsAMissingFolder) {
  wchar_t appData[MAX_PATH + 1] = {};
  ASSERT_GT(ExpandEnvironmentStringsW(L"%appdata%", appData, MAX_PATH), 0u);
  const std::wstring firefox = std::wstring(appData) + L"\\Mozilla\\Firefox";
  DeleteFolderTree(firefox);
  ASSERT_EQ(
      SHCreateDirectoryExW(nullptr, (firefox + L"\\Profiles\\second.default").c_str(), nullptr),
      ERROR_SUCCESS);
  EXPECT_EQ(FirstFirefoxProfile(), L"");  // no profiles.ini
  const std::string ini =
      "[General]\r\nStartWithLastProfile=1\r\n\r\n[Profile0]\r\nName=default\r\nIsRelative=1\r\n"
      "Path=Profiles/gone.default\r\n\r\n[Profile1]\r\nName=second\r\nIsRelative=1\r\n"
      "Path=Profiles/second.default\r\nDefault=1\r\n";
  ASSERT_TRUE(WriteFileBytes(firefox + L"\\profiles.ini", Bytes(ini)));
  EXPECT_EQ(FirstFirefoxProfile(), firefox + L"\\Profiles\\second.default");
  EXPECT_EQ(OldFirefoxExtensionFolder(),
            firefox + L"\\Profiles\\second.default\\extensions\\" + kOldFirefoxExtensionId);
  DeleteFolderTree(firefox);
}

// The partner records of the product-registry step and the campaign.
TEST_F(BrowserHostsTest, OfferBundleIntroAndCampaignRecords) {
  const std::wstring bundle = L"Software\\LumBastion\\Bundle";
  const std::wstring profile = L"SOFTWARE\\LumBastion\\UserProfile";
  const std::wstring campaign = L"Software\\LumBastion\\Campaign";
  for (const std::wstring& key :
       {bundle, profile, campaign, std::wstring(kIntroKey), std::wstring(kDailyNewsKey)})
    RegKey::DeleteTree(HKEY_LOCAL_MACHINE, key, RegView::k32);
  SessionSettings session;
  // What the offer choice leaves with an unreachable offer server on channel 101.
  session.channel = L"101";
  session.offerMode = 2;
  session.offerChecked = true;
  WriteOperaOfferRecords(session);
  EXPECT_EQ(Dword(HKEY_LOCAL_MACHINE, profile, L"InstallOpera"), 1u);
  EXPECT_EQ(Dword(HKEY_LOCAL_MACHINE, bundle, L"NeedOpera"), 1u);
  EXPECT_EQ(Dword(HKEY_LOCAL_MACHINE, bundle, L"NeedOperaCount"), 0u);

  SetIntroFlags(session);
  EXPECT_EQ(Dword(HKEY_LOCAL_MACHINE, kIntroKey, L"OperaShown"), 0u);  // offer taken
  EXPECT_EQ(Dword(HKEY_LOCAL_MACHINE, kIntroKey, L"NewsShown"), 0u);   // first news setup
  EXPECT_EQ(Dword(HKEY_LOCAL_MACHINE, kDailyNewsKey, L"ShowV1"), 1u);
  EXPECT_EQ(Dword(HKEY_LOCAL_MACHINE, kDailyNewsKey, L"Show"), 1u);
  RegKey::DeleteTree(HKEY_LOCAL_MACHINE, kIntroKey, RegView::k32);
  SetIntroFlags(session);
  EXPECT_EQ(Dword(HKEY_LOCAL_MACHINE, kIntroKey, L"NewsShown"), 1u);  // news set up before

  // Six characters or fewer, or a "-" in the tail: nothing.
  EXPECT_FALSE(RecordCampaign(L"abcdef"));
  EXPECT_FALSE(RecordCampaign(L"abcdefXY-12"));
  EXPECT_FALSE(RegKey::Exists(HKEY_LOCAL_MACHINE, campaign, RegView::k32));
  EXPECT_TRUE(RecordCampaign(L"cmp01:a9F3kq"));
  EXPECT_EQ(GetString(HKEY_LOCAL_MACHINE, campaign, L"CampaignId", RegView::k32), kCampaignId);
  EXPECT_EQ(GetString(HKEY_LOCAL_MACHINE, campaign, L"RewadHash", RegView::k32), L"a9F3kq");
  for (const std::wstring& key :
       {bundle, profile, campaign, std::wstring(kIntroKey), std::wstring(kDailyNewsKey)})
    RegKey::DeleteTree(HKEY_LOCAL_MACHINE, key, RegView::k32);
}

}  // namespace
}  // namespace lum
