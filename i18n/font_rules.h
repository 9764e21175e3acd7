// Font face per UI language for the installed product's theme file.
//
// The language table's [font] section holds rules ("selector01", ...; the
// key only orders them). Each value is a ';'-separated list of name:value
// conditions: "os" (winxp, win7, win10 or empty), "os_prime_langid" and
// "os_sub_langid" (hexadecimal, 0 = any), "ui_language" (one code, absent =
// all) and "font" (the face). Rules are applied in key order; later ones win.
// The resulting faces replace the block between "<language_font_face>" and
// "</language_font_face>" of "config\newui\themes\default\theme.xml"; the
// rest of the file is kept byte for byte.
#pragma once
#include <cstdint>
#include <map>
#include <string>

#include "payload/ini_table.h"

namespace lum {

constexpr const wchar_t* kThemeRelativePath = L"config\\newui\\themes\\default\\theme.xml";

// The system classes a rule can ask for.
enum class FontOsClass { kOther, kWinXp, kWin7, kWin10 };

// Windows 5.1 is XP, 6.1 is 7, 10.x and 6.4 are 10; everything else is other.
FontOsClass FontOsClassFromVersion(unsigned major, unsigned minor);

struct FontSystemFacts {
  FontOsClass os = FontOsClass::kOther;
  uint16_t uiLanguage = 0x0409;  // GetUserDefaultUILanguage()
};

struct FontRule {
  bool hasOs = false;
  std::wstring os;
  uint32_t primeLangId = 0;  // 0 = any
  uint32_t subLangId = 0;    // 0 = any
  bool hasUiLanguage = false;
  std::wstring uiLanguage;
  std::wstring face;
};

// Reads one rule value; a later condition of the same name replaces an
// earlier one, unknown names are ignored.
FontRule ParseFontRule(const std::wstring& value);
bool FontRuleApplies(const FontRule& rule, const FontSystemFacts& facts);

// Language code -> UTF-8 face, ordered by code.
using FontFaceTable = std::map<std::wstring, std::string>;

// One entry (empty face) per code of [default] "languages", then every
// applying rule of [font] in key order. False when there is no language list.
bool ChooseFontFaces(const IniTable& languageTable, const FontSystemFacts& facts,
                     FontFaceTable* faces);

// "<code face=\"Face\"/>" for every entry, in order, without separators.
std::string BuildFontBlock(const FontFaceTable& faces);

// Replaces the bytes between the first opening marker and the first closing
// marker after it by `block`. False (and `out` untouched) when a marker is
// missing.
bool ReplaceFontBlock(const std::string& theme, const std::string& block, std::string* out);

#ifdef _WIN32
// Rewrites the installed product's theme file (product folder from App Paths)
// from the language table's rules and this system's facts. True when the
// file was rewritten; on any failure the file is left as it was.
bool ApplyFontRules(const IniTable& languageTable);
// The same for an explicit theme file and explicit facts.
bool ApplyFontRulesTo(const IniTable& languageTable, const FontSystemFacts& facts,
                      const std::wstring& themePath);
// The facts of the running system (RtlGetVersion, GetUserDefaultUILanguage).
FontSystemFacts CurrentFontSystemFacts();
// The product folder for the theme file: App Paths "ZVSafeMain.exe" "Path"
// with a trailing '\'; empty when absent or too long for a path.
std::wstring ThemeProductFolder();
#endif

}  // namespace lum
