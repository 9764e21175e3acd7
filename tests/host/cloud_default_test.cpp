#include "install/cloud_default.h"

#include <gtest/gtest.h>

#include "i18n/language_choice.h"

namespace lum {
namespace {

CloudFacts Facts(const std::wstring& language) {
  CloudFacts facts;
  facts.language = language;
  return facts;
}

TEST(CloudDefaultTest, WithoutOfferAnswerTheMarketListDecidesCaseInsensitively) {
  EXPECT_EQ(CloudAnalysisDefault::kOn, DecideCloudAnalysis(Facts(L"ru")));
  EXPECT_EQ(CloudAnalysisDefault::kOn, DecideCloudAnalysis(Facts(L"zh-CN")));
  EXPECT_EQ(CloudAnalysisDefault::kOn, DecideCloudAnalysis(Facts(L"zh-TW")));
  EXPECT_EQ(CloudAnalysisDefault::kOn, DecideCloudAnalysis(Facts(L"hi")));
  EXPECT_EQ(CloudAnalysisDefault::kUnset, DecideCloudAnalysis(Facts(L"en")));
  EXPECT_EQ(CloudAnalysisDefault::kUnset, DecideCloudAnalysis(Facts(L"pt")));
}

TEST(CloudDefaultTest, SkipUploadWithoutOwnSettingTurnsItOff) {
  CloudFacts facts = Facts(L"ru");
  facts.skipUpload = true;
  EXPECT_EQ(CloudAnalysisDefault::kOff, DecideCloudAnalysis(facts));
  facts.cloudValuePresent = true;  // the user's own setting outranks the policy
  EXPECT_EQ(CloudAnalysisDefault::kOn, DecideCloudAnalysis(facts));
  facts.productInstalled = true;  // and a reinstall keeps it
  EXPECT_EQ(CloudAnalysisDefault::kUnset, DecideCloudAnalysis(facts));
}

TEST(CloudDefaultTest, OfferModeTwoUsesTheLanguageMask) {
  CloudFacts facts = Facts(L"en");
  facts.offerAnswered = true;
  facts.offerMode = 2;
  facts.offerLanguageMask = uint64_t{1} << 1;  // "en" is language 2, so bit 1
  EXPECT_EQ(CloudAnalysisDefault::kOn, DecideCloudAnalysis(facts));
  facts.offerLanguageMask = ~(uint64_t{1} << 1);
  EXPECT_EQ(CloudAnalysisDefault::kUnset, DecideCloudAnalysis(facts));
  facts.language = L"ru";  // the mask, not the market list, decides in mode 2
  facts.offerLanguageMask = 0;
  EXPECT_EQ(CloudAnalysisDefault::kUnset, DecideCloudAnalysis(facts));
  facts.offerMode = 1;  // any other answer: back to the market list
  EXPECT_EQ(CloudAnalysisDefault::kOn, DecideCloudAnalysis(facts));
}

}  // namespace
}  // namespace lum
