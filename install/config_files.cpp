#include "install/config_files.h"

#include "base/text.h"

namespace lum {

std::wstring SubChannelText(const std::wstring& subChannel) {
  return (subChannel.empty() || subChannel == L" ") ? std::wstring(L"0") : subChannel;
}

ConfigPlan PlanConfigFiles(const ConfigFacts& facts) {
  ConfigPlan plan;
  const bool fresh = !facts.productInstalled;
  auto write = [&plan](const wchar_t* file, const wchar_t* section, const wchar_t* key,
                       const std::wstring& value) {
    plan.writes.push_back(IniWrite{file, section, key, value});
  };
  auto writeChannel = [&] {
    write(kConfigIni, L"UI", L"channel", facts.channel);
    write(kConfigIni, L"UI", L"schannel", SubChannelText(facts.subChannel));
  };

  const bool newConfig = !facts.configExists || fresh;
  if (newConfig) plan.createAnew.push_back(kConfigIni);
  write(kConfigIni, L"UI", L"language", facts.language);
  write(kConfigIni, L"UI", L"title", facts.title);
  if (fresh) {
    writeChannel();
  } else {
    // A recreated file has no values left to keep.
    const bool hasChannel = !newConfig && facts.configHasChannel;
    bool hasSubChannel = !newConfig && facts.configHasSubChannel;
    if (!hasChannel) {
      writeChannel();
      hasSubChannel = true;
    }
    if (!hasSubChannel) write(kConfigIni, L"UI", L"schannel", L"0");
    if (facts.hashKind == 1 || facts.baseEdition == 2) writeChannel();
  }
  if (facts.enterprise && StartsWithNoCase(facts.channel, L"ENT."))
    write(kConfigIni, L"UI", L"channel", facts.channel);

  if (!facts.i18nExists || fresh) plan.createAnew.push_back(kI18nIni);
  write(kI18nIni, L"Main", L"Language", facts.language);
  write(kI18nIni, L"Main", L"DefaultLanguage", L"en");
  write(kI18nIni, L"Font", L"Name1", L"\x5FAE\x8EDF\x6B63\x9ED1\x9AD4");
  write(kI18nIni, L"Font", L"Size1", L"-12");
  write(kI18nIni, L"Font", L"Name2", L"Tahoma");
  write(kI18nIni, L"Font", L"Size2", L"-12");
  write(kI18nIni, L"Font", L"Name3", L"\x7D30\x660E\x9AD4");
  write(kI18nIni, L"Font", L"Size3", L"-12");

  if (!facts.advUtilsExists || fresh) plan.createAnew.push_back(kAdvUtilsIni);
  write(kAdvUtilsIni, L"qurl", L"lang", facts.language);
  write(kAdvUtilsIni, L"qurl", L"default_lang", L"en");
  return plan;
}

}  // namespace lum
