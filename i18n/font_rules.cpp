#include "i18n/font_rules.h"

#include <cwchar>
#include <vector>

#include "base/text.h"

namespace lum {
namespace {

constexpr const char* kOpenMarker = "<language_font_face>";
constexpr const char* kCloseMarker = "</language_font_face>";

// wcstoul base 16: leading blanks, optional sign and "0x"; no digits give 0.
uint32_t ParseHex(const std::wstring& text) {
  return static_cast<uint32_t>(std::wcstoul(text.c_str(), nullptr, 16));
}

bool OsMatches(const FontRule& rule, FontOsClass os) {
  if (!rule.hasOs || rule.os.empty()) return true;
  if (rule.os == L"winxp") return os == FontOsClass::kWinXp;
  if (rule.os == L"win7") return os == FontOsClass::kWin7;
  if (rule.os == L"win10") return os == FontOsClass::kWin10;
  return false;  // a system this table does not know
}

}  // namespace

FontOsClass FontOsClassFromVersion(unsigned major, unsigned minor) {
  if (major == 5 && minor == 1) return FontOsClass::kWinXp;
  if (major == 6 && minor == 1) return FontOsClass::kWin7;
  if (major == 10 || (major == 6 && minor == 4)) return FontOsClass::kWin10;
  return FontOsClass::kOther;
}

FontRule ParseFontRule(const std::wstring& value) {
  FontRule rule;
  for (const std::wstring& item : Split(value, L';', true)) {
    const size_t colon = item.find(L':');
    const std::wstring name = item.substr(0, colon);
    const std::wstring text = colon == std::wstring::npos ? std::wstring() : item.substr(colon + 1);
    if (name == L"os") {
      rule.hasOs = true;
      rule.os = text;
    } else if (name == L"os_prime_langid") {
      rule.primeLangId = ParseHex(text);
    } else if (name == L"os_sub_langid") {
      rule.subLangId = ParseHex(text);
    } else if (name == L"ui_language") {
      rule.hasUiLanguage = true;
      rule.uiLanguage = text;
    } else if (name == L"font") {
      rule.face = text;
    }
  }
  return rule;
}

bool FontRuleApplies(const FontRule& rule, const FontSystemFacts& facts) {
  if (!OsMatches(rule, facts.os)) return false;
  const uint32_t prime = facts.uiLanguage & 0x3FFu;
  const uint32_t sub = facts.uiLanguage >> 10;
  if (rule.primeLangId != 0 && rule.primeLangId != prime) return false;
  if (rule.subLangId != 0 && rule.subLangId != sub) return false;
  return true;
}

bool ChooseFontFaces(const IniTable& languageTable, const FontSystemFacts& facts,
                     FontFaceTable* faces) {
  const std::vector<std::wstring> codes =
      Split(languageTable.Value(L"default", L"languages"), L';', true);
  if (codes.empty()) return false;
  faces->clear();
  for (const std::wstring& code : codes) (*faces)[code];

  IniTable::KeyMap rules;  // ordered by key, which is the rules' order
  languageTable.Section(L"font", rules);
  for (const auto& entry : rules) {
    const FontRule rule = ParseFontRule(entry.second);
    if (!FontRuleApplies(rule, facts)) continue;
    const std::string face = WideToUtf8(rule.face);
    if (!rule.hasUiLanguage) {
      for (auto& slot : *faces) slot.second = face;
      continue;
    }
    const auto slot = faces->find(rule.uiLanguage);
    if (slot != faces->end()) slot->second = face;
  }
  return true;
}

std::string BuildFontBlock(const FontFaceTable& faces) {
  std::string block;
  for (const auto& entry : faces) {
    block += "<" + WideToUtf8(entry.first) + " face=\"" + entry.second + "\"/>";
  }
  return block;
}

bool ReplaceFontBlock(const std::string& theme, const std::string& block, std::string* out) {
  const size_t open = theme.find(kOpenMarker);
  const size_t close = theme.find(kCloseMarker);
  if (open == std::string::npos || close == std::string::npos) return false;
  const size_t begin = open + std::char_traits<char>::length(kOpenMarker);
  // A closing marker in front of the opening one leaves no block to fill.
  if (close < begin) return false;
  *out = theme.substr(0, begin) + block + theme.substr(close);
  return true;
}

}  // namespace lum
