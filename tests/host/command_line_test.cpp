#include "session/command_line.h"

#include <gtest/gtest.h>

#include "fake_session_environment.h"
#include "session/hash_detection.h"

namespace lum {
namespace {

using testing_support::FakeSessionEnvironment;

CommandLineOptions ParseArgs(const std::vector<std::wstring>& args) {
  CommandLineOptions options;
  EXPECT_TRUE(options.Parse(args, L':'));
  return options;
}

std::wstring ValueOf(const CommandLineOptions& options, const wchar_t* name) {
  std::wstring value = L"<absent>";
  options.Get(name, value);
  return value;
}

TEST(CommandLineParse, SplitsNameAndValueAtTheFirstSeparator) {
  const auto options = ParseArgs({L"C:\\setup.exe", L"/S:\"C:\\Tools\"", L"/campaign:a:b",
                                  L"/pmode=2", L"-s", L"plain", L"/Show", L"/c:"});
  EXPECT_EQ(ValueOf(options, L"s"), L"C:\\Tools");
  EXPECT_EQ(ValueOf(options, L"campaign"), L"a:b");
  EXPECT_EQ(ValueOf(options, L"pmode=2"), L"");
  EXPECT_EQ(ValueOf(options, L"pmode"), L"<absent>");
  EXPECT_EQ(ValueOf(options, L"show"), L"");
  EXPECT_EQ(ValueOf(options, L"c"), L"");
  EXPECT_EQ(options.Options().size(), 5u);  // "-s" and "plain" are ignored
}

TEST(CommandLineParse, QuotesAreStrippedOnlyAtTheEnds) {
  const auto options =
      ParseArgs({L"/a:\"\"x\"y\"\"", L"/b:\"\"\"", L"/c:\"", L"/D:\"", L"/e:x\"\"y"});
  EXPECT_EQ(ValueOf(options, L"a"), L"x\"y");
  EXPECT_EQ(ValueOf(options, L"b"), L"");
  EXPECT_EQ(ValueOf(options, L"c"), L"");
  EXPECT_EQ(ValueOf(options, L"d"), L"");
  EXPECT_EQ(ValueOf(options, L"e"), L"x\"\"y");
}

TEST(CommandLineParse, NamesLowerCaseAsciiOnlyAndLaterDuplicateWins) {
  const auto options = ParseArgs({L"/C:one", L"/c:two", L"/\u00C4X:v", L"/", L"/:v"});
  EXPECT_EQ(ValueOf(options, L"c"), L"two");
  EXPECT_EQ(ValueOf(options, L"\u00C4x"), L"v");  // non-ASCII letters stay as they are
  EXPECT_EQ(ValueOf(options, L""), L"v");         // "/" then "/:v" share the empty name
}

TEST(CommandLineParse, GetLeavesValueAloneWhenAbsentOrNull) {
  const auto options = ParseArgs({L"/x:1"});
  std::wstring value = L"keep";
  EXPECT_FALSE(options.Get(L"y", value));
  EXPECT_FALSE(options.Get(nullptr, value));
  EXPECT_FALSE(options.Get(L"X", value));  // looked up unchanged
  EXPECT_EQ(value, L"keep");
  EXPECT_FALSE(options.Has(nullptr));
  EXPECT_EQ(LogPathOption(ParseArgs({L"/log:\"C:\\l og.txt\""})), L"C:\\l og.txt");
  EXPECT_EQ(LogPathOption(options), L"");
}

class ApplyCommandLineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    session_.channel = L"101";
    session_.subChannel = L"5";
  }
  void Apply(const std::vector<std::wstring>& args) {
    ApplyCommandLine(ParseArgs(args), session_, env_, [this] { ++waits_; });
  }

  FakeSessionEnvironment env_;
  SessionSettings session_;
  int waits_ = 0;
};

TEST_F(ApplyCommandLineTest, SilentFolderGetsProductFolderName) {
  struct Case {
    const wchar_t* arg;
    const wchar_t* folder;
  } cases[] = {
      {L"/s:C:\\Tools\\", L"C:\\Tools\\Bastion"},
      {L"/s:C:\\Tools", L"C:\\Tools\\Bastion"},
      {L"/s:C:\\Tools\\Bastion\\", L"C:\\Tools\\Bastion"},
      {L"/S:D:\\x\\rampart", L"D:\\x\\rampart"},
      {L"/s:D:\\x\\WARDENAV\\", L"D:\\x\\WARDENAV"},
      {L"/s:D:\\x\\Bastion\\\\", L"D:\\x\\Bastion\\\\Bastion"},  // only one '\' is removed
      {L"/s:D:\\MyBastion", L"D:\\MyBastion\\Bastion"},
  };
  for (const Case& c : cases) {
    SessionSettings session;
    ApplyCommandLine(ParseArgs({c.arg}), session, env_);
    EXPECT_TRUE(session.silent) << c.arg;
    EXPECT_EQ(session.installDir, c.folder) << c.arg;
    EXPECT_TRUE(session.installDirExplicit) << c.arg;
  }
}

TEST_F(ApplyCommandLineTest, SilentFolderIgnoredWhenInstalledOrEmpty) {
  session_.productInstalled = true;
  session_.installDir = L"C:\\Lum\\Bastion";
  Apply({L"/s:D:\\Else"});
  EXPECT_TRUE(session_.silent);
  EXPECT_EQ(session_.installDir, L"C:\\Lum\\Bastion");
  EXPECT_FALSE(session_.installDirExplicit);

  SessionSettings fresh;
  ApplyCommandLine(ParseArgs({L"/s"}), fresh, env_);
  EXPECT_TRUE(fresh.silent);
  EXPECT_TRUE(fresh.installDir.empty());
  EXPECT_FALSE(fresh.installDirExplicit);
}

TEST_F(ApplyCommandLineTest, ChannelAndSubChannel) {
  Apply({L"/c:", L"/sc:"});
  EXPECT_EQ(session_.channel, L"101");
  EXPECT_EQ(session_.subChannel, L"0");
  Apply({L"/c:ENT.77", L"/sc: "});
  EXPECT_EQ(session_.channel, L"ENT.77");
  EXPECT_EQ(session_.subChannel, L"0");
  Apply({L"/sc:42"});
  EXPECT_EQ(session_.subChannel, L"42");
}

TEST_F(ApplyCommandLineTest, ProtectionModeRules) {
  env_.memory = 4ull << 30;
  session_.pmode = 1;
  Apply({L"/pmode:2"});
  EXPECT_EQ(session_.pmode, 2);
  Apply({L"/pmode:1xyz"});  // leading digits, as _wtoi reads them
  EXPECT_EQ(session_.pmode, 1);
  Apply({L"/pmode:254"});
  EXPECT_EQ(session_.pmode, 2);
  Apply({L"/pmode:254", L"/regmode:"});
  EXPECT_EQ(session_.pmode, 2);
  Apply({L"/pmode:254", L"/regmode:unknown"});
  EXPECT_EQ(session_.pmode, 2);
  EXPECT_EQ(session_.regMode, L"");
  Apply({L"/pmode:254", L"/regmode:strict"});
  EXPECT_EQ(session_.pmode, 254);
  EXPECT_EQ(session_.regMode, L"strict");
  env_.memory = 1ull << 30;
  Apply({L"/pmode:3"});
  EXPECT_EQ(session_.pmode, 1);
  session_.pmode = 2;
  Apply({L"/pmode:"});          // empty value: untouched
  Apply({L"/regmode:strict"});  // without pmode: untouched
  EXPECT_EQ(session_.pmode, 2);
}

TEST_F(ApplyCommandLineTest, FlagsAndTexts) {
  Apply({L"/Show", L"/ent", L"/AUTODEPLOY", L"/campaign:spring:2027", L"/clientid:abc"});
  EXPECT_TRUE(session_.showProduct);
  EXPECT_TRUE(session_.enterprise);
  EXPECT_TRUE(session_.autoDeploy);
  EXPECT_EQ(session_.campaign, L"spring:2027");
  EXPECT_EQ(session_.clientId, L"abc");
  EXPECT_FALSE(session_.silent);
  EXPECT_FALSE(session_.postRun);

  Apply({L"/campaign:"});
  EXPECT_EQ(session_.campaign, L"");
}

TEST_F(ApplyCommandLineTest, PostWaitsOnlyWithWait) {
  Apply({L"/post"});
  EXPECT_TRUE(session_.postRun);
  EXPECT_FALSE(session_.postWait);
  EXPECT_EQ(waits_, 0);
  Apply({L"/post:WAIT"});
  EXPECT_TRUE(session_.postWait);
  EXPECT_EQ(waits_, 1);

  SessionSettings noCallback;
  ApplyCommandLine(ParseArgs({L"/post:wait"}), noCallback, env_);
  EXPECT_TRUE(noCallback.postWait);
}

TEST_F(ApplyCommandLineTest, SyncIdTakesTheFirstInOrder) {
  Apply({L"/syncid0_2", L"/syncid0_0"});
  EXPECT_EQ(session_.syncId, 1);
  Apply({L"/syncid0_2", L"/syncid0_1"});
  EXPECT_EQ(session_.syncId, 2);
  Apply({L"/syncid0_2"});
  EXPECT_EQ(session_.syncId, 3);
  Apply({L"/show"});
  EXPECT_EQ(session_.syncId, 0);
}

TEST_F(ApplyCommandLineTest, PromoDecodesBase64Json) {
  // {"opera":"1","medal":0,"desktop_plus":"1","list":[1,"x"]}
  Apply(
      {L"/promo:eyJvcGVyYSI6IjEiLCJtZWRhbCI6MCwiZGVza3RvcF9wbHVzIjoiMSIs\n"
       L"Imxpc3QiOlsxLCJ4Il19"});
  EXPECT_EQ(session_.promoOptions,
            L"{\"desktop_plus\":\"1\",\"list\":\"[1,\\\"x\\\"]\",\"medal\":\"0\",\"opera\":\"1\"}");
}

TEST_F(ApplyCommandLineTest, PromoInSilentModeDropsDesktopOffer) {
  // {"desktop_plus":"1","boottime":"1"} without its padding.
  Apply({L"/s", L"/promo:eyJkZXNrdG9wX3BsdXMiOiIxIiwiYm9vdHRpbWUiOiIxIn0"});
  EXPECT_EQ(session_.promoOptions, L"{\"boottime\":\"1\"}");
}

TEST_F(ApplyCommandLineTest, BadPromoGivesEmptyObject) {
  const wchar_t* bad[] = {
      L"/promo:!!!!",           // not Base64
      L"/promo:WzEsMl0=",       // [1,2]: not an object
      L"/promo:eyJhIjo=",       // {"a": truncated
      L"/promo:",               // nothing
      L"/promo:eyJh=IjoiYiJ9",  // padding in the middle
      L"/promo:e",              // a lone sextet
  };
  for (const wchar_t* arg : bad) {
    session_.promoOptions = L"stale";
    Apply({arg});
    EXPECT_EQ(session_.promoOptions, L"{}") << arg;
  }
}

TEST_F(ApplyCommandLineTest, NoOptionsChangesNothing) {
  session_.syncId = 3;
  ApplyCommandLine(CommandLineOptions(), session_, env_);
  EXPECT_EQ(session_.syncId, 3);
  EXPECT_EQ(session_.channel, L"101");
}

// --- hash codes in the file name ---

class HashDetectionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    session_.channel = L"101";
    session_.subChannel = L"5";
  }
  HashForm Detect(const std::wstring& path, const std::vector<std::wstring>& args = {}) {
    return DetectHashForms(path, ParseArgs(args), session_);
  }
  SessionSettings session_;
};

TEST_F(HashDetectionTest, H1NameSetsChannelAndSubChannel) {
  // "YWI" is "ab" without padding, "MDE=" is "01".
  EXPECT_EQ(Detect(L"C:\\d.x\\setup.h1.YWI.MDE=.exe"), HashForm::kH1);
  EXPECT_EQ(session_.channel, L"ab");
  EXPECT_EQ(session_.subChannel, L"01");
  EXPECT_EQ(session_.hashKind, 0);
}

TEST_F(HashDetectionTest, H1DecodesAnsiBytesAsLatin1) {
  // "yWI=" is the bytes C9 62.
  EXPECT_EQ(Detect(L"setup.h1.yWI=.exe"), HashForm::kH1);
  EXPECT_EQ(session_.channel, L"\u00C9b");
}

TEST_F(HashDetectionTest, NameWithoutSecondTokenFitsH1WithEmptyValues) {
  EXPECT_EQ(Detect(L"C:\\dl\\setup"), HashForm::kH1);
  EXPECT_EQ(session_.channel, L"101");
  EXPECT_EQ(session_.subChannel, L"0");
}

TEST_F(HashDetectionTest, UndecodableTokenSkipsTheForm) {
  EXPECT_EQ(Detect(L"setup.h1.!!.exe"), HashForm::kNone);
  EXPECT_EQ(Detect(L"setup.h1.AA.exe"), HashForm::kNone);  // decodes to a NUL only
  EXPECT_EQ(session_.channel, L"101");
  EXPECT_EQ(session_.subChannel, L"5");
}

TEST_F(HashDetectionTest, H2PathNeedsFiveTokens) {
  EXPECT_EQ(Detect(L"C:\\dl\\setup.h2.ch9.sc3.f00d.exe"), HashForm::kH2);
  EXPECT_EQ(session_.channel, L"ch9");
  EXPECT_EQ(session_.subChannel, L"sc3");
  EXPECT_EQ(session_.hashValue, L"f00d");
  EXPECT_EQ(session_.hashKind, 1);
  EXPECT_EQ(session_.syncId, 1);

  SessionSettings shortName;
  EXPECT_EQ(DetectHashForms(L"C:\\dl\\setup.h2.ch9.f00d", CommandLineOptions(), shortName),
            HashForm::kNone);
  EXPECT_EQ(shortName.hashKind, 0);
}

TEST_F(HashDetectionTest, H2InAFolderNameCountsToo) {
  EXPECT_EQ(Detect(L"C:\\a.h2.ch\\x.y.setup.exe"), HashForm::kH2);
  EXPECT_EQ(session_.channel, L"ch\\x");
  EXPECT_EQ(session_.subChannel, L"y");
  EXPECT_EQ(session_.hashValue, L"setup");
}

TEST_F(HashDetectionTest, H2OptionBeforeH3Name) {
  EXPECT_EQ(Detect(L"setup.h3.YWI.aGFzaA.exe", {L"/h2_hash:beef"}), HashForm::kH2Option);
  EXPECT_EQ(session_.hashKind, 1);
  EXPECT_EQ(session_.hashValue, L"beef");
  EXPECT_EQ(session_.syncId, 1);
}

TEST_F(HashDetectionTest, H3NameSetsChannelAndHash) {
  EXPECT_EQ(Detect(L"setup.h3.YWI.aGFzaA.exe", {L"/h3_hash:ignored"}), HashForm::kH3);
  EXPECT_EQ(session_.channel, L"ab");
  EXPECT_EQ(session_.hashValue, L"hash");
  EXPECT_EQ(session_.hashKind, 2);
  EXPECT_EQ(session_.subChannel, L"5");
  EXPECT_EQ(session_.syncId, 0);
}

TEST_F(HashDetectionTest, H3OptionLast) {
  EXPECT_EQ(Detect(L"LumBastionSetup.exe", {L"/h3_hash:cafe"}), HashForm::kH3Option);
  EXPECT_EQ(session_.hashKind, 2);
  EXPECT_EQ(session_.hashValue, L"cafe");
  EXPECT_EQ(Detect(L"LumBastionSetup.exe"), HashForm::kNone);
}

}  // namespace
}  // namespace lum
