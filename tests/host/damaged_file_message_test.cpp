#include "i18n/damaged_file_message.h"

#include <gtest/gtest.h>

#include <set>

namespace lum {
namespace {

const wchar_t* kEnglishStart = L"Lum Bastion files have been damaged. \nPlease reinstall";

TEST(DamagedFileMessage, EnglishForEnglishAndUnknownCodes) {
  for (const wchar_t* code : {L"en", L"ENG", L"", L"xx", L"pt-pt", L"zh"}) {
    const DamagedFileText message = DamagedFileMessage(code, L"ZVSafeMain.exe");
    EXPECT_EQ(message.caption, L"Lum Bastion") << code;
    EXPECT_EQ(message.text,
              L"Lum Bastion files have been damaged. \nPlease reinstall Lum Bastion and scan for "
              L"viruses. \nDamaged documents: ZVSafeMain.exe")
        << code;
  }
}

TEST(DamagedFileMessage, AliasesSelectTheSameTextAndEveryLanguageDiffers) {
  const std::pair<const wchar_t*, const wchar_t*> aliases[] = {
      {L"zh-tw", L"CHT"}, {L"zh-cn", L"chs"}, {L"ru", L"Rus"},
      {L"pt-br", L"pt"},  {L"es-419", L"ES"}, {L"tr", L"trk"}};
  for (const auto& pair : aliases) {
    EXPECT_EQ(DamagedFileMessage(pair.first, L"x").text,
              DamagedFileMessage(pair.second, L"x").text);
  }
  std::set<std::wstring> texts;
  for (const wchar_t* code : {L"zh-tw", L"zh-cn", L"en", L"ru", L"pt", L"es", L"tr", L"vi", L"hi",
                              L"ar", L"ko", L"de", L"ja", L"fr", L"it"}) {
    const DamagedFileText message = DamagedFileMessage(code, L"C:\\p\\a.exe");
    const std::wstring file = L"C:\\p\\a.exe";
    ASSERT_GT(message.text.size(), file.size());
    EXPECT_EQ(message.text.substr(message.text.size() - file.size()), file) << code;
    texts.insert(message.text);
    // The box's buttons speak the message's language too.
    EXPECT_FALSE(message.yes.empty() || message.no.empty() || message.yes == message.no) << code;
    EXPECT_TRUE(std::wstring(code) == L"en" || message.yes != L"Yes") << code;
  }
  EXPECT_EQ(texts.size(), 15u);
  EXPECT_NE(DamagedFileMessage(L"zh-TW", L"x").caption, L"Lum Bastion");
  EXPECT_EQ(DamagedFileMessage(L"ja", L"x").caption, L"Lum Bastion");
  EXPECT_NE(DamagedFileMessage(L"de", L"x").text.find(L"Lum Bastion"), std::wstring::npos);
  EXPECT_EQ(DamagedFileMessage(L"de", L"x").text.find(kEnglishStart), std::wstring::npos);
}

TEST(DamagedFileMessage, DownloadAddressNeedsLanguageAndChannel) {
  const std::wstring address = DamagedFileDownloadAddress(L"pt", L"AB.0101");
  EXPECT_EQ(address, L"https://www.lumbastion.example/download/?lang=pt&ch=ab.0101");
  EXPECT_EQ(DamagedFileDownloadAddress(L"", L"101"), L"");
  EXPECT_EQ(DamagedFileDownloadAddress(L"en", L""), L"");
  // A value that looks like a format does not shift the other parameter.
  EXPECT_EQ(DamagedFileDownloadAddress(L"%s", L"7"),
            L"https://www.lumbastion.example/download/?lang=%s&ch=7");
}

TEST(DamagedFileMessage, ConfigPlacesAndReportQuery) {
  EXPECT_EQ(ConfigIniCandidates(L"C:\\P\\Bastion\\"),
            (std::vector<std::wstring>{L"C:\\P\\Bastion\\", L"C:\\P\\Bastion\\config.ini",
                                       L"C:\\P\\Bastion\\..\\config.ini"}));
  EXPECT_TRUE(ConfigIniCandidates(L"").empty());
  ReportCommon common{L"m1", L"9.0", L"de", L"10.0", L"101"};
  EXPECT_EQ(DamagedFileReportQuery(L"C:\\P\\ZVSafeMain.exe", false, common),
            L"nosign.htm?f=ZVSafeMain.exe&re=n&mid=m1&ver=9.0&lan=de&os=10.0&ch=101");
  EXPECT_EQ(DamagedFileReportQuery(L"a.exe", true, common).substr(0, 23),
            L"nosign.htm?f=a.exe&re=y");
}

}  // namespace
}  // namespace lum
