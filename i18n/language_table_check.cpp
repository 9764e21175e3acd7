#include "i18n/language_table_check.h"

#include <algorithm>
#include <cwctype>

#include "base/text.h"

namespace lum {
namespace {

constexpr const wchar_t* kReference = L"en";

// The keys the installer reads from a language section, in the English order.
// clang-format off
constexpr const wchar_t* kEnglishKeys[] = {
    L"name", L"lang_code", L"lnkpath", L"lnk1", L"lnk2", L"lnk3", L"lnk4", L"lnk5", L"lnk6",
    L"lnk7", L"font", L"image", L"poplogo", L"title", L"publisher", L"install", L"update", L"fix",
    L"intstalling_text", L"check", L"user_license_desc", L"user_license_link", L"user_privacy_desc",
    L"user_privacy_link", L"check_cloudanalysis_desc", L"check_cloudanalysis_lnk",
    L"important_notice", L"custom", L"inst_text", L"lang_text", L"disk_text", L"disk_text2",
    L"license_link", L"license_link_ess", L"privacy_link", L"user_link", L"IDOK", L"IDCANCEL",
    L"IDCCONTINUE", L"ERROR_TOO_LANG", L"ERROR_NODISKSPACE", L"ERROR_NODISKSPACE_BD",
    L"ERROR_CNSAFEEXIST", L"ERROR_CNWNDFILTEREXIST", L"ERROR_CNSAFEEXIST_ENT", L"ERROR_NOUDISK",
    L"ERROR_NOTWRITEABLE", L"ERROR_NOSUPPORTWIN2K", L"ERROR_CNSAFESDEXIST", L"ERROR_CNSDEXIST",
    L"ERROR_TEMPUNWRITEABLE", L"ERROR_TEMPNODISKSPACE", L"ERROR_TEMPNOTAVAILABLE",
    L"ERROR_TEMPNOUDISK", L"ERROR_CNWARDENEXIST", L"ERROR_CNLUMBASTION",
    L"ERROR_CNLUMBASTIONESSENTIAL", L"ERROR_PC_CLEANER", L"ERROR_CNINTERNETEXIST",
    L"ERROR_CNNOGDIPLUS", L"ERROR_CNLUMSAFEBOX", L"ERROR_NEWER_VERSION_INSTALLED",
    L"ERROR_NOSUPPORTWIN10", L"configcheck", L"ERROR_TEMPNOFILE", L"ERROR_TEMPNOFILE_ESSENTIAL",
    L"ERROR_RUNNING_CLEANPLUS", L"ERROR_RUNNING_ACCOUNT", L"ERROR_RUNNING_GAME_BOOSTER",
    L"ERROR_RUNNING_DRIVER_UPDATER", L"UAC_TITLE", L"UAC_TITLE_ESSENTIAL", L"UAC_MESSAGE",
    L"UAC_ELEVATION_FAILED_MESSAGE", L"UAC_ELEVATION_FAILED_MESSAGE_ESSENTIAL", L"NEED_REBOOT",
    L"ID_RESTART_LATER", L"ID_RESTART_NOW", L"ID_UPDATE_PROMPT", L"ID_UPDATE_PROMPT_LOGOFF",
    L"ID_UPDATE_PROMPT_DONE", L"ID_ENABLE_OPERA_PROMPT", L"ID_ENABLE_OPERA_PROMPT2",
    L"ID_ENABLE_OPERA_PROMPT3"};
// clang-format on

struct LanguageSection {
  const wchar_t* name;
  int langCode;
  std::vector<const wchar_t*> extra;    // keys this section carries beyond English
  std::vector<const wchar_t*> lacking;  // English keys this section does without
};

const std::vector<LanguageSection>& Sections() {
  static const std::vector<LanguageSection> sections = {
      {L"en", 1033, {}, {}},
      {L"zh-TW", 1028, {}, {}},
      {L"zh-CN", 2052, {L"check_quickscan_desc"}, {}},
      {L"tr", 1055, {}, {}},
      {L"pt", 1046, {L"check_quickscan_desc", L"ERROR_CNAFESDEXIST"}, {}},
      {L"es", 1034, {L"ERROR_CNAFESDEXIST"}, {}},
      {L"ru", 1049, {}, {}},
      {L"vi", 1066, {}, {L"UAC_TITLE_ESSENTIAL"}},
      {L"hi", 1081, {}, {L"ERROR_PC_CLEANER"}},
      {L"ar", 5121, {}, {}},
      {L"ja", 1041, {}, {}},
      {L"de", 1031, {}, {}},
      {L"fr", 1036, {}, {}},
      {L"it", 1040, {}, {}},
      {L"pl", 1045, {}, {}},
  };
  return sections;
}

const LanguageSection* FindSection(const std::wstring& name) {
  for (const LanguageSection& section : Sections()) {
    if (name == section.name) return &section;
  }
  return nullptr;
}

// Tag kinds of the markup; a closing tag is "/" + kind, an opening tag starts
// with the prefix (bodies are compared without regard to case, like the
// rich-text window does).
struct TagKind {
  const wchar_t* kind;
  const wchar_t* openPrefix;  // the body starts with this
};
constexpr TagKind kTagKinds[] = {{L"acolor", L"acolor="},
                                 {L"a", L"a="},
                                 {L"underline", L"underline"},
                                 {L"font", L"font="},
                                 {L"color", L"color="}};

const wchar_t* ClosedKind(const std::wstring& body) {
  for (const TagKind& tag : kTagKinds) {
    if (EqualsNoCase(body, std::wstring(L"/") + tag.kind)) return tag.kind;
  }
  return nullptr;
}

const wchar_t* OpenedKind(const std::wstring& body) {
  for (const TagKind& tag : kTagKinds) {
    if (StartsWithNoCase(body, tag.openPrefix)) return tag.kind;
  }
  return nullptr;
}

bool IsFlag(wchar_t c) { return c == L'-' || c == L'+' || c == L' ' || c == L'#' || c == L'0'; }
bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

// Length of the conversion at text[pos] == '%', 0 when none is valid there.
size_t ConversionLength(const std::wstring& text, size_t pos) {
  size_t i = pos + 1;
  while (i < text.size() && IsFlag(text[i])) ++i;
  if (i < text.size() && text[i] == L'*') {
    ++i;
  } else {
    while (i < text.size() && IsDigit(text[i])) ++i;
  }
  if (i < text.size() && text[i] == L'.') {
    ++i;
    if (i < text.size() && text[i] == L'*') {
      ++i;
    } else {
      while (i < text.size() && IsDigit(text[i])) ++i;
    }
  }
  for (const wchar_t* length :
       {L"I64", L"I32", L"hh", L"ll", L"h", L"l", L"L", L"w", L"z", L"j", L"t", L"I"}) {
    if (text.compare(i, std::char_traits<wchar_t>::length(length), length) == 0) {
      i += std::char_traits<wchar_t>::length(length);
      break;
    }
  }
  if (i >= text.size()) return 0;
  static const std::wstring kConversions = L"diouxXfFeEgGaAcCsSpn";
  if (kConversions.find(text[i]) == std::wstring::npos) return 0;
  return i + 1 - pos;
}

std::wstring Join(const std::vector<std::wstring>& items) {
  std::wstring out;
  for (const std::wstring& item : items) out += (out.empty() ? L"" : L" ") + item;
  return out.empty() ? L"(none)" : out;
}

std::wstring DescribeCounts(const MarkupCounts& counts) {
  std::wstring out;
  for (const TagKind& tag : kTagKinds) {
    const auto opened = counts.opened.find(tag.kind);
    const auto closed = counts.closed.find(tag.kind);
    const int open = opened == counts.opened.end() ? 0 : opened->second;
    const int close = closed == counts.closed.end() ? 0 : closed->second;
    if (open == 0 && close == 0) continue;
    out += (out.empty() ? L"" : L", ") + std::wstring(tag.kind) + L" " + std::to_wstring(open) +
           L"/" + std::to_wstring(close);
  }
  return out.empty() ? L"no tags" : out;
}

void CheckText(const std::wstring& section, const std::wstring& key, const std::wstring& text,
               const std::wstring* english, std::vector<LanguageTableProblem>& problems) {
  MarkupCounts counts;
  std::wstring problem;
  if (!ScanMarkup(text, &counts, &problem)) {
    problems.push_back({section, key, L"markup: " + problem});
    return;
  }
  if (!english) return;
  const std::vector<std::wstring> ours = PrintfPlaceholders(text);
  const std::vector<std::wstring> theirs = PrintfPlaceholders(*english);
  if (ours != theirs) {
    problems.push_back(
        {section, key, L"placeholders " + Join(ours) + L" differ from English " + Join(theirs)});
  }
  MarkupCounts englishCounts;
  if (ScanMarkup(*english, &englishCounts, &problem) && !(counts == englishCounts)) {
    problems.push_back({section, key,
                        L"markup tags (opened/closed) " + DescribeCounts(counts) +
                            L" differ from English " + DescribeCounts(englishCounts)});
  }
}

}  // namespace

std::vector<std::wstring> RequiredLanguageKeys(const std::wstring& section) {
  const LanguageSection* known = FindSection(section);
  std::vector<std::wstring> keys;
  for (const wchar_t* key : kEnglishKeys) {
    if (known && std::find_if(known->lacking.begin(), known->lacking.end(), [&](const wchar_t* k) {
                   return std::wstring(k) == key;
                 }) != known->lacking.end()) {
      continue;
    }
    keys.emplace_back(key);
  }
  if (known) keys.insert(keys.end(), known->extra.begin(), known->extra.end());
  return keys;
}

int ExpectedLangCode(const std::wstring& section) {
  const LanguageSection* known = FindSection(section);
  return known ? known->langCode : 0;
}

std::vector<std::wstring> PrintfPlaceholders(const std::wstring& text) {
  std::vector<std::wstring> found;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != L'%') continue;
    if (i + 1 < text.size() && text[i + 1] == L'%') {
      ++i;
      continue;
    }
    const size_t length = ConversionLength(text, i);
    if (length == 0) {
      found.emplace_back(L"%");
      continue;
    }
    found.push_back(text.substr(i, length));
    i += length - 1;
  }
  return found;
}

bool ScanMarkup(const std::wstring& text, MarkupCounts* counts, std::wstring* problem) {
  *counts = MarkupCounts();
  std::map<std::wstring, int> depth;
  size_t pos = 0;
  while ((pos = text.find(L"{&#", pos)) != std::wstring::npos) {
    const size_t end = text.find(L'}', pos + 3);
    if (end == std::wstring::npos) {
      *problem = L"\"{&#\" without a closing \"}\" at offset " + std::to_wstring(pos);
      return false;
    }
    const std::wstring body = text.substr(pos + 3, end - pos - 3);
    if (const wchar_t* kind = ClosedKind(body)) {
      if (depth[kind] == 0) {
        *problem = L"closing tag {&#" + body + L"} with no open " + kind + L" tag before it";
        return false;
      }
      --depth[kind];
      ++counts->closed[kind];
    } else if (const wchar_t* kind = OpenedKind(body)) {
      ++depth[kind];
      ++counts->opened[kind];
    } else {
      *problem = L"unknown tag {&#" + body + L"}";
      return false;
    }
    pos = end + 1;
  }
  return true;
}

std::vector<LanguageTableProblem> CheckLanguageTable(const IniTable& table) {
  std::vector<LanguageTableProblem> problems;
  IniTable::KeyMap english;
  const bool haveEnglish = table.Section(kReference, english);
  if (!haveEnglish) problems.push_back({kReference, L"", L"the English section is missing"});

  for (const std::wstring& code : Split(table.Value(L"default", L"languages"), L';', true)) {
    if (!table.HasSection(code)) {
      problems.push_back({L"default", L"languages", L"lists \"" + code + L"\" without a section"});
    }
  }

  for (const LanguageSection& known : Sections()) {
    IniTable::KeyMap texts;
    if (!table.Section(known.name, texts)) {
      problems.push_back({known.name, L"", L"the section is missing"});
      continue;
    }
    for (const std::wstring& key : RequiredLanguageKeys(known.name)) {
      if (!texts.count(key)) problems.push_back({known.name, key, L"the key is missing"});
    }
    const int langCode = ParseDecimal(table.Value(known.name, L"lang_code"));
    if (texts.count(L"lang_code") && langCode != known.langCode) {
      problems.push_back({known.name, L"lang_code",
                          L"is " + std::to_wstring(langCode) + L", the language's id is " +
                              std::to_wstring(known.langCode)});
    }
    for (const auto& entry : texts) {
      const auto reference = english.find(entry.first);
      const bool compare =
          haveEnglish && known.name != std::wstring(kReference) && reference != english.end();
      CheckText(known.name, entry.first, entry.second, compare ? &reference->second : nullptr,
                problems);
    }
  }
  return problems;
}

}  // namespace lum
