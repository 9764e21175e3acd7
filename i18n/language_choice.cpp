#include "i18n/language_choice.h"

#include <algorithm>

#include "base/text.h"

namespace lum {
namespace {

constexpr const wchar_t* kDefault = L"default";

// Codes an installed product may carry in its configuration, in the order of
// their bits in the offer server's language mask (bit number = index + 1).
constexpr const wchar_t* kProductLanguages[] = {L"zh-tw", L"en", L"ru", L"tr", L"es", L"pt", L"vi",
                                                L"zh-cn", L"hi", L"ja", L"de", L"fr", L"it", L"pl"};

// The Vietnamese rule: an English answer on a machine set up for Vietnam.
constexpr int kNationVietnam = 251;
constexpr unsigned kCodePageVietnamese = 1258;
constexpr uint16_t kLangIdVietnamese = 0x042A;

std::wstring MapPrimaryLanguage(uint16_t uiLanguage) {
  const unsigned primary = uiLanguage & 0x3FF;
  const unsigned sub = uiLanguage >> 10;
  switch (primary) {
    case 0x04:
      return sub == 2 ? L"zh-CN" : L"zh-TW";
    case 0x07:
      return L"de";
    case 0x0A:
      return L"es";
    case 0x0C:
      return L"fr";
    case 0x10:
      return L"it";
    case 0x11:
      return L"ja";
    case 0x15:
      return L"pl";
    case 0x16:
      return L"pt";
    case 0x19:
    case 0x44:
    case 0x6D:
    case 0x85:
      return L"ru";
    case 0x1F:
      return L"tr";
    case 0x2A:
      return L"vi";
    case 0x39:
      return L"hi";
    default:
      return L"en";
  }
}

bool LooksVietnamese(const SystemLanguageFacts& facts) {
  if (facts.geoNation == kNationVietnam || facts.ansiCodePage == kCodePageVietnamese) return true;
  return std::find(facts.keyboardLanguages.begin(), facts.keyboardLanguages.end(),
                   kLangIdVietnamese) != facts.keyboardLanguages.end();
}

bool IsProductLanguage(const std::wstring& code) {
  for (const wchar_t* known : kProductLanguages) {
    if (EqualsNoCase(code, known)) return true;
  }
  return false;
}

}  // namespace

std::vector<std::wstring> LanguageList(const IniTable& table) {
  return Split(table.Value(kDefault, L"languages"), L';', true);
}

std::wstring NormaliseLanguage(const std::wstring& requested, const SystemLanguageFacts& facts) {
  // An empty request is mapped from the UI language; only an English request
  // that came from the table itself is turned into Vietnamese by the other
  // facts (an English UI in Vietnam), not a fall-back "en" of the map.
  if (requested.empty()) return MapPrimaryLanguage(facts.uiLanguage);
  if (EqualsNoCase(requested, L"en") && LooksVietnamese(facts)) return L"vi";
  return requested;
}

LanguageChoice ChooseLanguageFromSystem(const IniTable& table, const SystemLanguageFacts& facts) {
  LanguageChoice choice;
  const std::vector<std::wstring> list = LanguageList(table);
  if (table.IntValue(kDefault, L"force_lang", 0) == 1) {
    choice.requested = table.Value(kDefault, L"appname");
    choice.forced = true;
    if (std::find(list.begin(), list.end(), choice.requested) != list.end()) {
      choice.offered.push_back(choice.requested);
    }
  } else {
    choice.offered = list;
    for (const std::wstring& code : list) {
      // The last section whose id matches wins, as the list is walked in order.
      if (table.IntValue(code, L"lang_code", -1) == static_cast<int>(facts.uiLanguage)) {
        choice.requested = code;
      }
    }
  }
  choice.requested = NormaliseLanguage(choice.requested, facts);
  if (choice.offered.empty()) choice.offered.push_back(choice.requested);
  return choice;
}

LanguageChoice ChooseLanguageFromProduct(const IniTable& table, const std::wstring& configLanguage,
                                         const SystemLanguageFacts& facts) {
  LanguageChoice choice;
  const std::wstring code = IsProductLanguage(configLanguage) ? configLanguage : std::wstring();
  if (!code.empty()) {
    for (const std::wstring& listed : LanguageList(table)) {
      if (EqualsNoCase(listed, code)) {
        // The table's spelling is the section name ("zh-tw" -> "zh-TW").
        choice.requested = listed;
        choice.offered.push_back(listed);
        return choice;
      }
    }
  }
  choice.unknown = true;
  choice.requested = NormaliseLanguage(std::wstring(), facts);
  choice.offered.push_back(choice.requested);
  return choice;
}

int LanguageBit(const std::wstring& code) {
  // The offer server numbers languages in the order of the product's codes.
  constexpr size_t kCount = sizeof(kProductLanguages) / sizeof(kProductLanguages[0]);
  for (size_t i = 0; i < kCount; ++i) {
    if (EqualsNoCase(code, kProductLanguages[i])) return static_cast<int>(i) + 1;
  }
  return 2;
}

bool LanguageInMask(const std::wstring& code, uint64_t mask) {
  return ((mask >> (LanguageBit(code) - 1)) & 1u) != 0;
}

}  // namespace lum
