// Build-time checks of the language table (resource FILE 502): every
// language section carries the keys the installer asks for, translations keep
// the English printf placeholders, and the rich-text markup stays intact.
// A fault here shows up only as an empty label or a garbled dialog on a
// customer's machine in one language, so the build refuses the table instead.
//
// Portable; used by the host tool lang_check and its unit tests.
#pragma once
#include <map>
#include <string>
#include <vector>

#include "payload/ini_table.h"

namespace lum {

struct LanguageTableProblem {
  std::wstring section;
  std::wstring key;  // empty for a problem of the whole section
  std::wstring message;
};

// The keys each language section must carry: the English set, adjusted by
// the known per-language differences (a few sections carry an extra key, two
// lack one that their product line never shows).
std::vector<std::wstring> RequiredLanguageKeys(const std::wstring& section);

// The Windows language id each language section declares in "lang_code";
// 0 for a section name that is not a language of the table.
int ExpectedLangCode(const std::wstring& section);

// The printf conversions of `text` in order ("%d", "%.01f", "%s"); "%%" is a
// literal percent sign and not a conversion. A '%' that starts no valid
// conversion is returned as "%" so that a stray one is noticed too.
std::vector<std::wstring> PrintfPlaceholders(const std::wstring& text);

// The markup of one text: how often each tag kind opens and closes ("a",
// "underline", "acolor", "font", "color"). False with `problem` set when a
// "{&#" has no "}", a tag body is unknown, or a closing tag has nothing of
// its kind open before it. Unclosed tags are allowed: they stay in effect to
// the end of the text.
struct MarkupCounts {
  std::map<std::wstring, int> opened;
  std::map<std::wstring, int> closed;
  bool operator==(const MarkupCounts& other) const {
    return opened == other.opened && closed == other.closed;
  }
};
bool ScanMarkup(const std::wstring& text, MarkupCounts* counts, std::wstring* problem);

// Checks every language section of `table` (the 15 sections, the "default"
// language list and the "en" reference) and returns what is wrong; empty
// when the table is sound.
std::vector<LanguageTableProblem> CheckLanguageTable(const IniTable& table);

}  // namespace lum
