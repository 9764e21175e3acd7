// The statistics requests as the service reads them, the URL signature, the
// offer answer and the machine identifier's rules.
#include <gtest/gtest.h>

#include <string>

#include "report/document_version.h"
#include "report/machine_id.h"
#include "report/offer_answer.h"
#include "report/report_urls.h"
#include "report/url_signature.h"

namespace lum {
namespace {

CommonParams Common() {
  CommonParams c;
  c.mid = L"m1";
  c.ver = L"10.0.0.1";
  c.lan = L"en";
  c.os = L"6.1-x64";
  c.ch = L"101";
  c.sch = L" ";  // a single blank is sent as "0"
  return c;
}

TEST(ReportFormats, EveryReportUrl) {
  const CommonParams c = Common();
  EXPECT_EQ(L"mid=m1&ver=10.0.0.1&lan=en&os=6.1-x64&ch=101&sch=0", CommonQuery(c));
  EXPECT_EQ(L"0", ReportSubChannel(L""));
  EXPECT_EQ(L"7", ReportSubChannel(L"7"));

  EnvironmentFacts env;
  env.virtualMachine = true;
  env.parent = L"C:\\deploy\\agent.exe";
  env.company = L"Deploy Co";
  env.parentHasWindow = true;
  env.timestamp = 1796784664;
  EXPECT_EQ(L"mid=m1&ver=10.0.0.1&lan=en&os=6.1-x64&ch=101&sch=0&env=install&vm=1"
            L"&parent=C:\\deploy\\agent.exe&company=Deploy Co&signature=unknown&ui=1"
            L"&timestamp=1796784664",
            EnvironmentString(c, env));
  EXPECT_EQ(L"http://s/safei18n/query_env.htm?v611=AB%2B", EnvironmentReportUrl(L"http://s/safei18n/", "AB%2B"));
  EXPECT_EQ(L"http://c/ins?v611=XY&ch=101&sch=0&ref=bn", ChannelReportUrl(L"http://c/", "XY", L"101", L" "));

  ErrorReportFacts facts;
  facts.installedVersion = L"9.1.0.1";
  facts.installerVersion = L"10.0.0.1";
  facts.edition = L"Home Edition";
  facts.updateMode = 1;
  facts.procedureCode = 117;
  facts.extractionError = 1;
  EXPECT_EQ(L"http://s/safei18n/ins_err.htm?id=117&mid=m1&ver=10.0.0.1&lan=en&os=6.1-x64&ch=101"
            L"&sch=0&lver=9.1.0.1&mver=10.0.0.1&ledition=Home%20Edition&ri=1&si=0&ad=0&rc=117"
            L"&&uz_err=1&ref=bn",
            ErrorReportUrl(L"http://s/safei18n/ins_err.htm?", 117, c, facts));

  UserExperience ue;
  ue.acp = 1252;
  ue.geoId = 244;
  ue.browser = L"unkn";
  OfferFlags offer;
  offer.browserOffer = 1;
  offer.offerRule = 1;
  offer.valueA = 35;
  offer.valueB = -3;
  EXPECT_EQ(L"http://s/ins.htm?mid=m1&ver=10.0.0.1&lan=en&os=6.1-x64&ch=101&sch=0&ue=1&ACP=1252"
            L"&GEOID=244&br=unkn&promo_opr=1&rule_opr=1&param_opr=0&tt_opr=35&rr_opr=0xfffffffd",
            InstallReportUrl(L"http://s/", c, ue, offer));
  offer.offerParam = 1;
  ue.enabled = false;
  EXPECT_EQ(L"http://s/ins.htm?mid=m1&ver=10.0.0.1&lan=en&os=6.1-x64&ch=101&sch=0&ue=0&ACP=1252"
            L"&GEOID=244&br=unkn&promo_opr=1&rule_opr=1&param_opr=1&tt_opr=0&rr_opr=0x0"
            L"&cpu=Intel%28R%29%20Core&ram=4.00&rc=0",
            FreshResultUrl(L"http://s/", c, ue, offer, L"Intel(R) Core", 4ull << 30, 0));
  EXPECT_EQ(L"http://s/ins.htm?mid=m1&ver=10.0.0.1&lan=en&os=6.1-x64&ch=101&sch=0&ue=0&ACP=1252"
            L"&GEOID=244&br=unkn&promo_opr=1&rule_opr=1&param_opr=1&tt_opr=0&rr_opr=0x0"
            L"&cpu=unkn&ram=0.50&rc=0",
            FreshResultUrl(L"http://s/", c, ue, offer, L"", 1ull << 29, 0));
  EXPECT_EQ(L"http://s/up.htm?mid=m1&ver=10.0.0.1&lan=en&os=6.1-x64&ch=101&ACP=1252&GEOID=244"
            L"&br=unkn&rc=0",
            UpdateResultUrl(L"http://s/", c, ue, 0));
  EXPECT_EQ(L"http://o/promo/opera?ch=101&sch=0&ver=10.0.0.1&lan=en&os=6.1-x64&mid=m1&time=99",
            OfferQueryUrl(L"http://o/", c, 99));
}

TEST(ReportFormats, UrlSignature) {
  const std::wstring url = L"http://127.0.0.1:18611/safei18n/ins.htm?mid=ab&ch=101";
  EXPECT_EQ(url + L"&toat=v1&madt=c6f191dd0077e632b575ffc7", SignReportUrl(url, "SECRETSUFFIX1"));
  // The scheme is not signed: the https form has the same digest.
  EXPECT_EQ(L"https://127.0.0.1:18611/safei18n/ins.htm?mid=ab&ch=101&toat=v1&madt=c6f191dd0077e632b575ffc7",
            SignReportUrl(L"https://127.0.0.1:18611/safei18n/ins.htm?mid=ab&ch=101", "SECRETSUFFIX1"));
  EXPECT_EQ(L"ftp://x/y", SignReportUrl(L"ftp://x/y", "SECRETSUFFIX1"));
}

TEST(ReportFormats, OfferAnswerAndTheSessionFields) {
  OfferOutcome outcome;
  ASSERT_TRUE(ParseOfferAnswer(R"({"value": 3, "checked": 1, "mode": 2, "lang_mask": "0x104"})", &outcome));
  EXPECT_EQ(3, outcome.status);
  EXPECT_EQ(2, outcome.mode);
  EXPECT_EQ(0x104u, outcome.languageMask);
  outcome.elapsedMs = 41;
  OfferFields fields = OfferFieldsFrom(outcome, L"7");
  EXPECT_EQ(1, fields.offerMode);
  EXPECT_TRUE(fields.offerChecked);
  EXPECT_EQ(41, fields.offerValueA);
  EXPECT_EQ(1, fields.offerValueB);

  ASSERT_TRUE(ParseOfferAnswer(R"({"value": 0, "checked": 1})", &outcome));
  fields = OfferFieldsFrom(outcome, L"101");
  EXPECT_EQ(0, fields.offerMode);  // "off" wins over the channel rule
  EXPECT_FALSE(fields.offerChecked);
  EXPECT_EQ(0, fields.offerValueB);

  for (const char* body : {"", "off", "[1]", R"({"checked": 1})", R"({"value": "1"})"}) {
    EXPECT_FALSE(ParseOfferAnswer(body, &outcome)) << body;
    EXPECT_EQ(kOfferUnparsable, outcome.status);
    fields = OfferFieldsFrom(outcome, L"101");
    EXPECT_EQ(2, fields.offerMode);
    EXPECT_TRUE(fields.offerChecked);
    EXPECT_EQ(kOfferUnparsable, fields.offerValueB);
  }
  // A failed or timed-out request never switches the offer on.
  for (int status : {kOfferRequestFailed, kOfferBadStatus, kOfferTimedOut}) {
    OfferOutcome none;
    none.status = status;
    fields = OfferFieldsFrom(none, L"Ch7");
    EXPECT_EQ(2, fields.offerMode);
    EXPECT_FALSE(fields.offerChecked);
    EXPECT_EQ(status, fields.offerValueB);
  }
}

TEST(MachineIdRules, FormatsAndTheStoredValue) {
  // "Genu" "ineI" "ntel" in EBX, EDX, ECX; the misreported vendor is corrected.
  EXPECT_EQ("GenuineIntel:bfebfbff", ProcessorPart(0x756e6547, 0x49656e69, 0x6c65746e, 0xbfebfbff));
  EXPECT_EQ("GenuineIntel:0000000a", ProcessorPart(0x756e6547, 0x49656e69, 0x6c65746f, 10));
  EXPECT_EQ("AuthenticAMD:178bfbff", ProcessorPart(0x68747541, 0x69746e65, 0x444d4163, 0x178bfbff));

  uint8_t identify[512] = {};
  const char serial[] = "1WS 1C2D  ";  // as the words carry it, byte-swapped
  for (int i = 0; i < 10; i += 2) {
    identify[20 + i] = static_cast<uint8_t>(serial[i + 1]);
    identify[20 + i + 1] = static_cast<uint8_t>(serial[i]);
  }
  for (int i = 10; i < 20; ++i) identify[20 + i] = ' ';
  EXPECT_EQ("1WS 1C2D", SerialFromIdentify(identify));
  const uint8_t mac[6] = {0x00, 0x1a, 0x2b, 0x3c, 0x4d, 0xef};
  EXPECT_EQ("001A2B3C4DEF", MacText(mac));

  EXPECT_EQ("900150983cd24fb0d6963f7d28e17f72", Md5Hex("abc"));
  EXPECT_EQ(Md5Hex("Mid2Failed"), MidFromDescription(""));
  const std::string mid = MidFromDescription("GenuineIntel:bfebfbff");
  const std::string stored = StoredMidValue(mid);
  ASSERT_EQ(64u, stored.size());
  std::string accepted;
  EXPECT_TRUE(AcceptStoredMid(stored, &accepted));
  EXPECT_EQ(mid, accepted);
  std::string upper = stored;
  for (size_t i = 32; i < 64; ++i) upper[i] = static_cast<char>(toupper(upper[i]));
  EXPECT_TRUE(AcceptStoredMid(upper, &accepted));
  std::string wrong = stored;
  wrong[63] = wrong[63] == '0' ? '1' : '0';
  EXPECT_FALSE(AcceptStoredMid(wrong, &accepted));
  EXPECT_FALSE(AcceptStoredMid(stored.substr(0, 63), &accepted));
}

TEST(MachineIdRules, ProfileIdentity) {
  const std::string record =
      R"({"mid":"aaaa","mid2":"bbbb","client_uid":"c-1","client_uid2":"c-2"})";
  const std::string scrambled = ScrambleProfileRecord(record, "Param", 0xF7);
  EXPECT_EQ(std::string::npos, scrambled.find("mid"));
  EXPECT_EQ(record, UnscrambleProfileRecord(scrambled, "Param"));
  EXPECT_NE(record, UnscrambleProfileRecord(scrambled, "Other"));

  std::wstring identity;
  EXPECT_TRUE(ProfileIdentityFromRecord(record, L"c-1", L"", &identity));
  EXPECT_EQ(L"aaaabbbb", identity);
  EXPECT_TRUE(ProfileIdentityFromRecord(record, L"x", L"c-2", &identity));
  EXPECT_FALSE(ProfileIdentityFromRecord(record, L"c-2", L"c-1", &identity));
  EXPECT_FALSE(ProfileIdentityFromRecord(record, L"", L"", &identity));
  EXPECT_FALSE(ProfileIdentityFromRecord(R"({"mid":"","mid2":"b","client_uid":"c-1"})", L"c-1", L"",
                                         &identity));
  EXPECT_FALSE(ProfileIdentityFromRecord("not json", L"c-1", L"", &identity));
}

TEST(DocumentVersions, OnlyAShortPlainTextIsTakenAsTheVersion) {
  EXPECT_EQ(L"http://127.0.0.1:18611/safei18n/legal/version?doc=license&lang=pt%2DBR&ch=a%26b",
            DocumentVersionUrl(L"http://127.0.0.1:18611/safei18n/", L"license", L"pt-BR", L"a&b"));
  EXPECT_EQ(L"2026-03-01", DocumentVersionFromAnswer("2026-03-01"));
  EXPECT_EQ(L"v 3.2_1: 2026/04", DocumentVersionFromAnswer(" \r\nv 3.2_1: 2026/04\r\n"));
  EXPECT_EQ(L"", DocumentVersionFromAnswer(""));
  EXPECT_EQ(L"", DocumentVersionFromAnswer(" \n "));
  EXPECT_EQ(L"", DocumentVersionFromAnswer("<html>404</html>"));
  EXPECT_EQ(L"", DocumentVersionFromAnswer(std::string("2026\0-03", 8)));
  EXPECT_EQ(L"", DocumentVersionFromAnswer("2026-03-01\x01"));
  EXPECT_EQ(L"", DocumentVersionFromAnswer("\xc3\xa9t\xc3\xa9"));
  EXPECT_EQ(std::wstring(32, L'7'), DocumentVersionFromAnswer(std::string(32, '7')));
  EXPECT_EQ(L"", DocumentVersionFromAnswer(std::string(33, '7')));
}

}  // namespace
}  // namespace lum
