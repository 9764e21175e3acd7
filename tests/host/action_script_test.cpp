#include "install/action_script.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "base/text.h"

namespace lum {
namespace {

using Fields = std::vector<std::wstring>;

IniTable Script(const std::wstring& text) {
  IniTable table;
  const std::vector<uint8_t> bytes = WideToUtf16Le(text, true);
  EXPECT_TRUE(table.Parse(bytes.data(), bytes.size()));
  return table;
}

// Writes down every call as one line; folder answers come from maps.
class RecordingBackend : public IScriptBackend {
 public:
  std::vector<std::wstring> calls;
  std::map<int, std::vector<std::wstring>> userFolders;
  std::map<std::wstring, std::wstring> machineFolders;
  std::vector<std::wstring> runningPrograms;
  std::vector<MappedKey> users;
  std::wstring installation = L"C:\\Lum";
  std::wstring extraction = L"C:\\Temp\\x";

  void Record(const std::wstring& line) { calls.push_back(line); }

  void ClearDeferredRemoval() override { Record(L"clear"); }
  void CloseProductPrograms() override { Record(L"close"); }
  void EndProcessesUnderInstallFolder(unsigned ms) override {
    Record(L"under " + std::to_wstring(ms));
  }
  bool EndAllProcesses(const std::wstring& program) override {
    Record(L"end " + program);
    for (const std::wstring& running : runningPrograms) {
      if (EqualsNoCase(running, program)) return true;
    }
    return false;
  }
  void Sleep(unsigned ms) override { Record(L"sleep " + std::to_wstring(ms)); }
  bool RunHiddenAndWait(const std::wstring& program, const std::wstring& line) override {
    Record(L"run " + program + L" :: " + line);
    return true;
  }
  void RemoveService(const std::wstring& name, const std::wstring& program) override {
    Record(L"service " + name + L" " + program);
  }
  bool DeleteKey(const std::wstring& root, const std::wstring& path) override {
    Record(L"deletekey " + root + L" " + path);
    return true;
  }
  bool DeleteEmptyKey(const std::wstring& root, const std::wstring& path) override {
    Record(L"deleteemptykey " + root + L" " + path);
    return true;
  }
  bool DeleteValue(const std::wstring& root, const std::wstring& path,
                   const std::wstring& name) override {
    Record(L"deleteval " + root + L" " + path + L" " + name);
    return true;
  }
  bool WriteDword(const std::wstring& root, const std::wstring& path, const std::wstring& name,
                  uint32_t value) override {
    Record(L"dword " + root + L" " + path + L" " + name + L" " + std::to_wstring(value));
    return true;
  }
  bool WriteString(const std::wstring& root, const std::wstring& path, const std::wstring& name,
                   const std::wstring& data) override {
    Record(L"sz " + root + L" " + path + L" " + name + L" " + data);
    return true;
  }
  std::vector<MappedKey> MapCurrentUserKey(const std::wstring& path) override {
    std::vector<MappedKey> mapped;
    for (const MappedKey& user : users) mapped.push_back({user.root, user.path + L"\\" + path});
    return mapped;
  }
  std::vector<std::wstring> FoldersForEveryUser(int id) override {
    auto it = userFolders.find(id);
    return it == userFolders.end() ? std::vector<std::wstring>() : it->second;
  }
  std::wstring MachineFolder(const std::wstring& token) override {
    auto it = machineFolders.find(token);
    return it == machineFolders.end() ? std::wstring() : it->second;
  }
  std::wstring InstallationFolder() override { return installation; }
  std::wstring ExtractionFolder() override { return extraction; }
  bool DeletePath(const std::wstring& path, bool restart) override {
    Record(std::wstring(restart ? L"delete+r " : L"delete ") + path);
    return true;
  }
  bool DeleteFolder(const std::wstring& path, bool restart) override {
    Record(std::wstring(restart ? L"deltree+r " : L"deltree ") + path);
    return true;
  }
  bool CopyFileItem(const std::wstring& s, const std::wstring& t, bool restart) override {
    Record(std::wstring(restart ? L"copy+r " : L"copy ") + s + L" -> " + t);
    return true;
  }
  bool CopyTree(const std::wstring& s, const std::wstring& t) override {
    Record(L"copytree " + s + L" -> " + t);
    return true;
  }
  bool AuthorizeApplication(const std::wstring& path, const std::wstring& name) override {
    Record(L"fw add " + path + L" " + name);
    return true;
  }
  bool RevokeApplication(const std::wstring& path) override {
    Record(L"fw remove " + path);
    return true;
  }
};

TEST(SplitCommandTest, MiddleFieldsLoseTrailingBlanksTheLastKeepsThem) {
  EXPECT_EQ((Fields{L"delfile", L"installation", L"a b.txt  "}),
            SplitCommand(L"delfile  \t|installation\r\n|a b.txt  "));
  EXPECT_EQ((Fields{L" x", L"", L"y"}), SplitCommand(L" x ||y"));
  EXPECT_EQ((Fields{L"a", L"b"}), SplitCommand(L"a|b|"));  // empty last piece dropped
  EXPECT_EQ((Fields{L"a", L""}), SplitCommand(L"a||"));
  EXPECT_EQ((Fields{L"only"}), SplitCommand(L"only"));
  EXPECT_TRUE(SplitCommand(L"").empty());
  EXPECT_EQ((Fields{L""}), SplitCommand(L"|"));
}

TEST(ActionScriptTest, EntriesRunInOrdinalKeyOrder) {
  std::wstring text = L"[reg]\r\n";
  for (int i = 17; i >= 1; --i) {
    text += L"cmd" + std::to_wstring(i) + L"=deletekey|HKLM|K" + std::to_wstring(i) + L"\r\n";
  }
  RecordingBackend backend;
  ASSERT_TRUE(RunRegistrySectionOf(Script(text), L"reg", backend));
  std::vector<std::wstring> order;
  for (const std::wstring& call : backend.calls) order.push_back(call.substr(call.rfind(L'K') + 1));
  EXPECT_EQ((Fields{L"1", L"10", L"11", L"12", L"13", L"14", L"15", L"16", L"17", L"2", L"3", L"4",
                    L"5", L"6", L"7", L"8", L"9"}),
            order);
}

TEST(ActionScriptTest, RegistryVerbsFieldCountsAndTypes) {
  RecordingBackend b;
  const IniTable script = Script(
      L"[reg]\r\n"
      L"a1=DeleteKey|hklm|SOFTWARE\\A\r\n"
      L"a2=deletekey|HKLM|SOFTWARE\\A|extra\r\n"          // wrong count
      L"a3=deleteemptykey|HKLM|SOFTWARE\\B\r\n"
      L"a4=deleteval|HKLM|SOFTWARE\\C|Name\r\n"
      L"a5=deleteval|HKLM|SOFTWARE\\C\r\n"                // wrong count
      L"a6=writevalue|HKLM|SOFTWARE\\D|V|REG_DWORD|1980\r\n"
      L"a7=writevalue|HKLM|SOFTWARE\\D|V|reg_sz|text with | bar\r\n"  // 7 fields
      L"a8=writevalue|HKLM|SOFTWARE\\D|V|REG_SZ|two  words\r\n"
      L"a9=writevalue|HKLM|SOFTWARE\\D|V|REG_BINARY|0102\r\n"
      L"b1=renamekey|HKLM|SOFTWARE\\E\r\n"
      L"b2=writevalue|HKLM|SOFTWARE\\D|V|REG_DWORD|-1\r\n");
  RunRegistrySectionOf(script, L"reg", b);
  EXPECT_EQ((Fields{L"deletekey hklm SOFTWARE\\A", L"deleteemptykey HKLM SOFTWARE\\B",
                    L"deleteval HKLM SOFTWARE\\C Name", L"dword HKLM SOFTWARE\\D V 1980",
                    L"sz HKLM SOFTWARE\\D V two  words", L"dword HKLM SOFTWARE\\D V 4294967295"}),
            b.calls);
  EXPECT_FALSE(RunRegistrySectionOf(script, L"Reg", b));  // section names are case-sensitive
}

TEST(ActionScriptTest, CurrentUserCommandsFanOutByTheirRootWhateverItsSpelling) {
  RecordingBackend b;
  const IniTable script = Script(
      L"[reg]\r\n1=deleteval|hkcu|Software\\Run|Tray\r\n2=deletekey|HKEY_CURRENT_USER|"
      L"Software\\X\r\n"
      L"3=writevalue|HKCU|Software\\Y|N|REG_DWORD|5\r\n4=deletekey|HKLM|Software\\M\r\n");
  // No user's hive reachable: every command runs as written.
  RunRegistrySectionOf(script, L"reg", b);
  EXPECT_EQ((Fields{L"deleteval hkcu Software\\Run Tray", L"deletekey HKEY_CURRENT_USER Software\\X",
                    L"dword HKCU Software\\Y N 5", L"deletekey HKLM Software\\M"}),
            b.calls);

  b.calls.clear();
  b.users = {{L"HKU", L"S-1-5-21-1"}, {L"HKU", L"S-1-5-21-2"}};
  RunRegistrySectionOf(script, L"reg", b);
  EXPECT_EQ(
      (Fields{L"deleteval HKU S-1-5-21-1\\Software\\Run Tray",
              L"deleteval HKU S-1-5-21-2\\Software\\Run Tray",
              L"deletekey HKU S-1-5-21-1\\Software\\X", L"deletekey HKU S-1-5-21-2\\Software\\X",
              L"dword HKU S-1-5-21-1\\Software\\Y N 5", L"dword HKU S-1-5-21-2\\Software\\Y N 5",
              L"deletekey HKLM Software\\M"}),
      b.calls);
}

TEST(ActionScriptTest, FolderTokensResolveInOrderWithRestartOnlyForTheInstallFolder) {
  RecordingBackend b;
  b.userFolders[0] = {L"C:\\Users\\a\\Desktop", L"C:\\Users\\b\\Desktop"};
  b.machineFolders[L"common_desktopdirectory"] = L"C:\\Users\\Public\\Desktop";
  b.machineFolders[L"appdata"] = L"C:\\Users\\me\\AppData\\Roaming";
  b.installation = L"C:\\Lum\\";
  for (const wchar_t* value :
       {L"delfile|Desktop|Lum Safe.lnk", L"delfile|common_desktopdirectory|x.lnk",
        L"deldir|appdata|Lum  \t", L"delfile|installation|safemon\\a.old  |",
        L"delfile|extractins|a", L"delfile|nowhere|a", L"deldir|installation|temp"}) {
    RunFileCommand(SplitCommand(value), b);
  }
  EXPECT_EQ((Fields{L"delete C:\\Users\\a\\Desktop\\Lum Safe.lnk",
                    L"delete C:\\Users\\b\\Desktop\\Lum Safe.lnk",
                    L"delete C:\\Users\\Public\\Desktop\\x.lnk",
                    // per-user token without user folders falls back to the machine map
                    L"deltree C:\\Users\\me\\AppData\\Roaming\\Lum  \t",
                    L"delete+r C:\\Lum\\safemon\\a.old", L"deltree+r C:\\Lum\\temp"}),
            b.calls);
}

TEST(ActionScriptTest, CopiesCrossEverySourceWithEveryTargetAndUnknownTokensStayRelative) {
  RecordingBackend b;
  b.userFolders[26] = {L"C:\\U1", L"C:\\U2"};
  EXPECT_TRUE(RunFileCommand(SplitCommand(L"cpfile|extractins|Repair.exe|appdata|Lum\\R.exe"), b));
  EXPECT_TRUE(RunFileCommand(SplitCommand(L"cpfile|bogus|rel\\a.txt  |installation|a.txt"), b));
  EXPECT_TRUE(RunFileCommand(SplitCommand(L"cpdir|installation|cfg|bogus|out"), b));
  EXPECT_FALSE(RunFileCommand(SplitCommand(L"cpfile|installation|a|installation"), b));
  EXPECT_FALSE(RunFileCommand(SplitCommand(L"move|installation|a|installation|b"), b));
  EXPECT_EQ((Fields{L"copy+r C:\\Temp\\x\\Repair.exe -> C:\\U1\\Lum\\R.exe",
                    L"copy+r C:\\Temp\\x\\Repair.exe -> C:\\U2\\Lum\\R.exe",
                    L"copy+r rel\\a.txt -> C:\\Lum\\a.txt", L"copytree C:\\Lum\\cfg -> out"}),
            b.calls);
}

TEST(ActionScriptTest, ProcessEntriesEndAllCopiesAndWaitOnlyWhenSomethingRan) {
  RecordingBackend b;
  b.runningPrograms = {L"tray.exe"};
  EXPECT_TRUE(RunProcessCommand(SplitCommand(L"TERMINATE_AND_WAIT|Tray.exe|2000"), b));
  EXPECT_FALSE(RunProcessCommand(SplitCommand(L"terminate_and_wait|Other.exe|2000"), b));
  EXPECT_TRUE(RunProcessCommand(SplitCommand(L"terminate_and_wait|tray.exe"), b));  // no wait
  EXPECT_TRUE(RunProcessCommand(SplitCommand(L"terminate|tray.exe|2000"), b));
  EXPECT_TRUE(RunProcessCommand(SplitCommand(L"anything|tray.exe"), b));
  EXPECT_FALSE(RunProcessCommand(SplitCommand(L"terminate"), b));
  EXPECT_TRUE(RunProcessCommand(SplitCommand(L"terminate_and_wait|tray.exe|-5"), b));
  EXPECT_EQ((Fields{L"end Tray.exe", L"sleep 2000", L"end Other.exe", L"end tray.exe",
                    L"end tray.exe", L"end tray.exe", L"end tray.exe", L"sleep 0"}),
            b.calls);
}

TEST(ActionScriptTest, FirewallEntriesNeedExactFieldCounts) {
  RecordingBackend b;
  const IniTable script = Script(
      L"[firewall]\r\nA=add|safemon\\T.exe|Lum Bastion\r\nB=remove|safemon\\T.exe|third\r\n"
      L"C=REMOVE|safemon\\T.exe\r\nD=add|x.exe\r\n");
  EXPECT_TRUE(RunFirewallSectionOf(script, b));
  EXPECT_EQ((Fields{L"fw add C:\\Lum\\safemon\\T.exe Lum Bastion", L"fw remove C:\\Lum\\safemon\\T.exe"}),
            b.calls);
  EXPECT_FALSE(RunFirewallSectionOf(Script(L"[reg]\r\na=b\r\n"), b));
}

TEST(ActionScriptTest, WholeRunFollowsTheFixedSectionOrder) {
  RecordingBackend b;
  b.runningPrograms = {L"a.exe"};
  const IniTable script = Script(
      L"[file]\r\n1=delfile|installation|old.dat\r\n"
      L"[reg2]\r\n1=deletekey|HKLM|R2\r\n[reg]\r\n1=deletekey|HKLM|R1\r\n"
      L"[service]\r\nSvcB=b.exe\r\nSvcA=a.exe\r\n"
      L"[uninstprocess]\r\n1=safemon\\W.exe|/uninstallsrv\r\n2=only.exe\r\n"
      L"[process]\r\n1=terminate_and_wait|a.exe|10\r\n"
      L"[example]\r\n1=deletekey|HKLM|never\r\n");
  RunActionScript(script, b);
  EXPECT_EQ((Fields{L"clear", L"close", L"end a.exe", L"sleep 10",
                    L"run C:\\Lum\\safemon\\W.exe :: \"C:\\Lum\\safemon\\W.exe\" /uninstallsrv",
                    L"service SvcA a.exe", L"service SvcB b.exe", L"under 5000",
                    L"deletekey HKLM R1", L"deletekey HKLM R2", L"delete+r C:\\Lum\\old.dat"}),
            b.calls);
  EXPECT_TRUE(SectionExists(script, L"example"));
  EXPECT_FALSE(SectionExists(script, L"Example"));
}

TEST(ActionScriptTest, TokenTablesKnowTheirFolders) {
  EXPECT_EQ(39, PerUserFolderId(L"MyPictures"));
  EXPECT_EQ(-1, PerUserFolderId(L"common_appdata"));
  EXPECT_EQ(35, MachineFolderId(L"common_appdata"));
  EXPECT_EQ(16, MachineFolderId(L"desktopdirectory"));
  EXPECT_EQ(kMachineFolderByName, MachineFolderId(L"SystemRoot"));
  EXPECT_EQ(-1, MachineFolderId(L"installation"));
  EXPECT_EQ(L"C:\\a\\b", JoinPath(L"C:\\a\\", L"\\b"));
  EXPECT_EQ(L"b", JoinPath(L"", L"b"));
}

}  // namespace
}  // namespace lum
