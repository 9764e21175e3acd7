// What a silent install leaves for the browsers and the product's partner
// logic: both native hosts in both registry views (the Chrome one through the
// payload's proxy module), the Chrome extension offered on a first install
// only, the old Firefox extension removed from the first profile that exists,
// the registered Firefox extension refreshed on a reinstall, and the
// introduction and promotion-tips records.
//
// The two tests build on each other's machine state and run in order.
#include <gtest/gtest.h>
#include <windows.h>
// These build on windows.h.
#include <shlobj.h>

#include <string>
#include <vector>

#include "base/text.h"
#include "browser/browser_config.h"
#include "browser/config_cipher.h"
#include "system/file_bytes_win.h"
#include "system/file_ops_win.h"
#include "system/product_location_win.h"
#include "system/registry_win.h"
#include "tests/e2e/e2e_support.h"

namespace lum {
namespace {

using e2e::InstallerPath;
using e2e::ReadText;
using e2e::RegDword;
using e2e::RegString;
using e2e::RunProgram;
using e2e::TempFolder;

constexpr const wchar_t* kChromeState =
    L"SOFTWARE\\Google\\Update\\ClientState\\{8A69D345-D564-463c-AFF1-A69D9E530F96}";
constexpr const wchar_t* kChromeHost =
    L"SOFTWARE\\Google\\Chrome\\NativeMessagingHosts\\com.lumbastion.webguard";
constexpr const wchar_t* kFirefoxHost =
    L"SOFTWARE\\Mozilla\\NativeMessagingHosts\\com.lumbastion.webguard";
constexpr const wchar_t* kCalls = L"SOFTWARE\\LumBastion\\StandIn\\Calls";
constexpr const wchar_t* kProxyCall = L"safemon\\SomProxy.dll!Install";

std::wstring ExtensionKey() {
  return std::wstring(L"SOFTWARE\\Google\\Chrome\\Extensions\\") + kChromeExtensionId;
}

std::wstring AppData() {
  wchar_t path[MAX_PATH + 1] = {};
  SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path);
  return path;
}

void MakeFile(const std::wstring& path, const std::string& text) {
  SHCreateDirectoryExW(nullptr, path.substr(0, path.find_last_of(L'\\')).c_str(), nullptr);
  ASSERT_TRUE(WriteFileBytes(path, std::vector<uint8_t>(text.begin(), text.end())))
      << WideToUtf8(path);
}

uint64_t LastWrite(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data = {};
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
  return (static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
         data.ftLastWriteTime.dwLowDateTime;
}

void ClearBrowserKeys() {
  for (RegView view : {RegView::k32, RegView::k64}) {
    RegKey::DeleteTree(HKEY_LOCAL_MACHINE, kChromeHost, view);
    RegKey::DeleteTree(HKEY_LOCAL_MACHINE, kFirefoxHost, view);
  }
  RegKey::DeleteTree(HKEY_LOCAL_MACHINE, ExtensionKey(), RegView::k32);
  RegKey::DeleteTree(HKEY_LOCAL_MACHINE, kCalls);
}

class BrowserE2eTest : public ::testing::Test {
 protected:
  void SetUp() override {
    installer_ = InstallerPath();
    if (installer_.empty()) GTEST_SKIP() << "LUM_INSTALLER is not set";
    log_ = TempFolder() + L"lum_browser_e2e.log";
    DeleteFileW(log_.c_str());
    firefox_ = AppData() + L"\\Mozilla\\Firefox";
  }
  int Install() { return RunProgram(installer_, L"/s /log:" + log_); }
  std::wstring OldExtension() const {
    return firefox_ + L"\\Profiles\\second.default\\extensions\\" + kOldFirefoxExtensionId;
  }
  // Both hosts in both views; the Chrome one registered by the proxy module,
  // never by the installer itself.
  void ExpectHosts(const std::wstring& product) {
    for (RegView view : {RegView::k32, RegView::k64}) {
      EXPECT_EQ(RegString(HKEY_LOCAL_MACHINE, kChromeHost, L"", view),
                product + L"\\safemon\\chrome\\manifest.json");
      EXPECT_EQ(RegString(HKEY_LOCAL_MACHINE, kFirefoxHost, L"", view),
                product + L"\\safemon\\chrome\\manifest_firefox.json");
    }
    EXPECT_EQ(RegString(HKEY_LOCAL_MACHINE, kCalls, kProxyCall), L"-;");
    const std::wstring log = ReadText(log_);
    EXPECT_EQ(log.find(L"Google\\Chrome\\NativeMessagingHosts"), std::wstring::npos);
    EXPECT_NE(log.find(L"Mozilla\\NativeMessagingHosts"), std::wstring::npos);
    EXPECT_TRUE(FileExists(product + L"\\safemon\\chrome\\manifest.json"));
    EXPECT_TRUE(FileExists(product + L"\\safemon\\chrome\\manifest_firefox.json"));
  }

  std::wstring installer_, log_, firefox_;
};

TEST_F(BrowserE2eTest, FirstInstallRegistersHostsOffersTheExtensionAndRemovesTheOldOne) {
  // Chrome as its updater records it; no extension in its profile yet.
  RegKey chrome;
  ASSERT_TRUE(chrome.Create(HKEY_LOCAL_MACHINE, kChromeState, KEY_SET_VALUE));
  ASSERT_TRUE(chrome.WriteString(L"UninstallString",
                                 L"C:\\Chrome\\Application\\1.0\\Installer\\setup.exe"));
  // Firefox's profile 0 is gone; profile 1 holds the old extension.
  MakeFile(
      firefox_ + L"\\profiles.ini",
      "[General]\r\nStartWithLastProfile=1\r\n\r\n[Profile0]\r\nName=default\r\nIsRelative=1\r\n"
      "Path=Profiles/gone.default\r\n\r\n[Profile1]\r\nName=second\r\nIsRelative=1\r\n"
      "Path=Profiles/second.default\r\n");
  MakeFile(OldExtension() + L"\\bootstrap.js", "// old web protection\n");
  MakeFile(firefox_ + L"\\Profiles\\second.default\\prefs.js", "user_pref(\"a\", 1);\n");

  ASSERT_EQ(Install(), 0) << WideToUtf8(ReadText(log_));
  const std::wstring product = ReadProductFolder();
  ASSERT_FALSE(product.empty());
  ExpectHosts(product);
  EXPECT_EQ(RegString(HKEY_LOCAL_MACHINE, ExtensionKey(), L"update_url", RegView::k32),
            kChromeStoreUpdateUrl);
  EXPECT_FALSE(FolderExists(OldExtension()));
  EXPECT_TRUE(FileExists(firefox_ + L"\\Profiles\\second.default\\prefs.js"));

  // Introduction pages: no Opera and no offer in a silent run; the news and
  // the desktop tips start fresh.
  const std::wstring intro = L"SOFTWARE\\LumBastion\\Intro";
  EXPECT_EQ(RegDword(HKEY_LOCAL_MACHINE, intro, L"OperaShown", 0xDEAD, RegView::k32), 1u);
  EXPECT_EQ(RegDword(HKEY_LOCAL_MACHINE, intro, L"NewsShown", 0xDEAD, RegView::k32), 0u);
  EXPECT_EQ(RegDword(HKEY_LOCAL_MACHINE, intro, L"DesktopPlusShown", 0xDEAD, RegView::k32), 1u);
  EXPECT_EQ(RegDword(HKEY_LOCAL_MACHINE, L"SOFTWARE\\LumBastion\\DailyNews", L"ShowV1", 0xDEAD,
                     RegView::k32),
            1u);
  EXPECT_EQ(RegDword(HKEY_LOCAL_MACHINE, L"SOFTWARE\\LumBastion\\UserProfile", L"InstallOpera",
                     0xDEAD, RegView::k32),
            0xDEADu);
  EXPECT_FALSE(RegKey::Exists(HKEY_LOCAL_MACHINE, L"Software\\LumBastion\\Campaign", RegView::k32));

  // The promotion tips as the product reads them: the shipped [promo] delays.
  const std::wstring sealed =
      RegString(HKEY_LOCAL_MACHINE, L"Software\\LumBastion\\PromoTips", L"Config", RegView::k32);
  std::string json;
  ASSERT_TRUE(DecipherConfig(WideToUtf8(sealed), kPromoTipsKey, &json)) << WideToUtf8(sealed);
  for (const char* tip : {"\"opera\":\"", "\"boottime\":\"", "\"upgrade_now\":\"", "\"medal\":\"",
                          "\"popup\":\"", "\"reminder\":\""})
    EXPECT_NE(json.find(tip), std::string::npos) << tip << " in " << json;
}

TEST_F(BrowserE2eTest, ReinstallRenewsBothHostsRefreshesFirefoxButOffersNothing) {
  const std::wstring product = ReadProductFolder();
  ASSERT_FALSE(product.empty()) << "runs after the first install";
  ClearBrowserKeys();
  // The registered Firefox extension, with caches Firefox left beside it.
  const std::wstring extension = product + L"\\safemon\\webprotection_firefox";
  MakeFile(extension + L"\\install.rdf", "<RDF/>\n");
  MakeFile(extension + L"\\startup.tmp", "x");
  MakeFile(extension + L"\\addons.db", "x");
  MakeFile(extension + L"\\keep.js", "x");
  FILETIME old = {};
  old.dwHighDateTime = 0x01D00000;  // 2014
  {
    UniqueFileHandle rdf(CreateFileW((extension + L"\\install.rdf").c_str(), FILE_WRITE_ATTRIBUTES,
                                     0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(rdf && SetFileTime(rdf.Get(), nullptr, nullptr, &old));
  }
  const uint64_t before = LastWrite(extension + L"\\install.rdf");
  RegKey registration;
  ASSERT_TRUE(registration.Create(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Mozilla\\Firefox\\Extensions",
                                  KEY_SET_VALUE));
  ASSERT_TRUE(registration.WriteString(kFirefoxExtensionId, extension));

  ASSERT_EQ(Install(), 0) << WideToUtf8(ReadText(log_));
  ExpectHosts(product);
  EXPECT_EQ(RegString(HKEY_LOCAL_MACHINE, ExtensionKey(), L"update_url", RegView::k32), L"<none>");
  EXPECT_GT(LastWrite(extension + L"\\install.rdf"), before);
  EXPECT_FALSE(FileExists(extension + L"\\startup.tmp"));
  EXPECT_FALSE(FileExists(extension + L"\\addons.db"));
  EXPECT_TRUE(FileExists(extension + L"\\keep.js"));
  // The introduction flags the first install wrote are kept.
  EXPECT_EQ(RegDword(HKEY_LOCAL_MACHINE, L"SOFTWARE\\LumBastion\\Intro", L"NewsShown", 0xDEAD,
                     RegView::k32),
            0u);
}

}  // namespace
}  // namespace lum
