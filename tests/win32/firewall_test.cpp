// Firewall authorizations through the netfw COM interfaces, against a
// recording firewall registered in this process (Wine's own stores nothing).
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "base/text.h"
#include "install/shell_win.h"
#include "payload/ini_table.h"
#include "system/firewall_win.h"
#include "system/win_handle_win.h"
#include "tests/win32/fake_firewall/fake_firewall.h"

namespace lum {
namespace {

using fake_firewall::App;
using fake_firewall::Shared;

const wchar_t kTray[] = L"C:\\Program Files\\Lum\\safemon\\ZVSafeTray.exe";

class FirewallTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(com_.Ok());
    ASSERT_TRUE(registration_.Ok()) << "HNetCfg program ids are not registered in this prefix";
    Shared() = fake_firewall::State();
  }
  static App Authorized(const std::wstring& name, bool enabled, NET_FW_SCOPE scope,
                        NET_FW_IP_VERSION ip) {
    App app;
    app.name = name;
    app.image = kTray;
    app.enabled = enabled;
    app.scope = scope;
    app.ipVersion = ip;
    return app;
  }
  std::vector<App>& Current() { return Shared().profiles[Shared().currentProfile]; }

  CoInit com_;
  fake_firewall::Registration registration_;
};

TEST_F(FirewallTest, AddsFreshAuthorizationToTheCurrentProfile) {
  ASSERT_TRUE(AuthorizeApplication(kTray, L"Lum Bastion"));
  ASSERT_EQ(1u, Current().size());
  const App& app = Current()[0];
  EXPECT_EQ(L"Lum Bastion", app.name);
  EXPECT_EQ(kTray, app.image);
  EXPECT_TRUE(app.enabled);
  EXPECT_EQ(NET_FW_SCOPE_ALL, app.scope);
  EXPECT_EQ(NET_FW_IP_VERSION_ANY, app.ipVersion);
  // Properties are set in a fixed order, the image last, then added once.
  std::vector<std::wstring> expected = {
      L"put_Name(Lum Bastion)", L"put_Scope(0)", L"put_IpVersion(2)", L"put_Enabled(true)",
      std::wstring(L"put_ProcessImageFileName(") + kTray + L")",
      L"Add(1," + std::wstring(kTray) + L")"};
  EXPECT_EQ(expected, Shared().calls);
}

TEST_F(FirewallTest, CurrentAuthorizationIsLeftUntouched) {
  Current().push_back(Authorized(L"Old name", true, NET_FW_SCOPE_ALL, NET_FW_IP_VERSION_ANY));
  EXPECT_TRUE(AuthorizeApplication(kTray, L"Lum Bastion"));
  ASSERT_EQ(1u, Current().size());
  EXPECT_EQ(L"Old name", Current()[0].name);  // no rename
  EXPECT_TRUE(Shared().calls.empty());        // no add
}

TEST_F(FirewallTest, DisabledOrNarrowAuthorizationIsReplaced) {
  struct Case {
    bool enabled;
    NET_FW_SCOPE scope;
    NET_FW_IP_VERSION ip;
  };
  for (Case c : {Case{false, NET_FW_SCOPE_ALL, NET_FW_IP_VERSION_ANY},
                 Case{true, NET_FW_SCOPE_LOCAL_SUBNET, NET_FW_IP_VERSION_ANY},
                 Case{true, NET_FW_SCOPE_ALL, NET_FW_IP_VERSION_V4}}) {
    Shared() = fake_firewall::State();
    Current().push_back(Authorized(L"Old name", c.enabled, c.scope, c.ip));
    EXPECT_TRUE(AuthorizeApplication(kTray, L"Lum Bastion"));
    ASSERT_EQ(1u, Current().size());
    EXPECT_EQ(L"Lum Bastion", Current()[0].name);
    EXPECT_TRUE(Current()[0].enabled);
    EXPECT_EQ(NET_FW_SCOPE_ALL, Current()[0].scope);
    EXPECT_EQ(NET_FW_IP_VERSION_ANY, Current()[0].ipVersion);
  }
}

TEST_F(FirewallTest, RevokeRemovesFromDomainStandardAndCurrentProfiles) {
  Shared().profiles[NET_FW_PROFILE_DOMAIN].push_back(
      Authorized(L"x", true, NET_FW_SCOPE_ALL, NET_FW_IP_VERSION_ANY));
  Current().push_back(Authorized(L"x", true, NET_FW_SCOPE_ALL, NET_FW_IP_VERSION_ANY));
  EXPECT_TRUE(RevokeApplication(kTray));
  EXPECT_TRUE(Shared().profiles[NET_FW_PROFILE_DOMAIN].empty());
  EXPECT_TRUE(Current().empty());
  std::wstring image = kTray;
  std::vector<std::wstring> expected = {L"Remove(0," + image + L")", L"Remove(1," + image + L")",
                                        L"Remove(1," + image + L")"};
  EXPECT_EQ(expected, Shared().calls);
}

TEST_F(FirewallTest, OneFailedProfileFailsRevokeButTheOthersStillRun) {
  Shared().failRemoveInProfile = NET_FW_PROFILE_DOMAIN;
  Current().push_back(Authorized(L"x", true, NET_FW_SCOPE_ALL, NET_FW_IP_VERSION_ANY));
  EXPECT_FALSE(RevokeApplication(kTray));
  EXPECT_EQ(3u, Shared().calls.size());
  EXPECT_TRUE(Current().empty());
}

TEST_F(FirewallTest, StoppedFirewallFailsQuietly) {
  Shared().noPolicy = true;
  EXPECT_FALSE(AuthorizeApplication(kTray, L"Lum Bastion"));
  EXPECT_FALSE(RevokeApplication(kTray));
  EXPECT_TRUE(Shared().calls.empty());
}

// The entries the install run applies: the action script's [firewall]
// section through the script interpreter, against the recording firewall.
TEST_F(FirewallTest, ScriptEntriesJoinTheInstallFolderAndCheckTheirShape) {
  const std::wstring folder = L"C:\\Program Files\\Lum";
  auto script = [](const std::wstring& text) {
    IniTable table;
    const std::vector<uint8_t> bytes = WideToUtf16Le(L"[firewall]\r\n" + text, true);
    EXPECT_TRUE(table.Parse(bytes.data(), bytes.size()));
    return table;
  };
  CShell shell(folder, L"C:\\unused");
  EXPECT_TRUE(shell.ApplyFirewallTable(script(L"a=ADD|safemon\\ZVSafeTray.exe|Lum Bastion\r\n")));
  ASSERT_EQ(1u, Current().size());
  EXPECT_EQ(kTray, Current()[0].image);

  Shared().calls.clear();
  shell.ApplyFirewallTable(
      script(L"a=remove|safemon\\ZVSafeTray.exe|extra\r\n"
             L"b=add|safemon\\ZVSafeTray.exe\r\n"
             L"c=allow|safemon\\ZVSafeTray.exe|x\r\n"));
  EXPECT_TRUE(Shared().calls.empty());
  EXPECT_EQ(1u, Current().size());

  shell.ApplyFirewallTable(script(L"a=Remove|safemon\\ZVSafeTray.exe\r\n"));
  EXPECT_TRUE(Current().empty());
}

}  // namespace
}  // namespace lum
