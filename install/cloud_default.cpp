#include "install/cloud_default.h"

#include "base/text.h"
#include "i18n/language_choice.h"

namespace lum {

CloudAnalysisDefault DecideCloudAnalysis(const CloudFacts& facts) {
  if (!facts.cloudValuePresent && facts.skipUpload) return CloudAnalysisDefault::kOff;
  bool on = false;
  if (facts.offerAnswered && facts.offerMode == 2) {
    on = LanguageInMask(facts.language, facts.offerLanguageMask);
  } else {
    for (const wchar_t* code : {L"ru", L"zh-cn", L"zh-tw", L"vi", L"hi"})
      if (EqualsNoCase(facts.language, code)) on = true;
  }
  // A reinstall keeps the user's own cloud setting.
  if (on && facts.productInstalled && facts.cloudValuePresent) on = false;
  return on ? CloudAnalysisDefault::kOn : CloudAnalysisDefault::kUnset;
}

}  // namespace lum
