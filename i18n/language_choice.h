// Choice of the UI language from the system or from the installed product.
// Portable: the system facts arrive in a struct that the Win32 side fills
// from GetUserDefaultUILanguage, GetUserGeoID, GetACP and the keyboard layouts.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "payload/ini_table.h"

namespace lum {

struct SystemLanguageFacts {
  uint16_t uiLanguage = 0x0409;           // GetUserDefaultUILanguage()
  int geoNation = 0;                      // GetUserGeoID(GEOCLASS_NATION)
  unsigned ansiCodePage = 1252;           // GetACP()
  std::vector<uint16_t> keyboardLanguages;  // LOWORD of each GetKeyboardLayoutList entry
};

struct LanguageChoice {
  std::wstring requested;              // code before it is checked against the table
  std::vector<std::wstring> offered;   // languages offered in the interface
  bool forced = false;                 // [default] force_lang=1
  bool unknown = false;                // the installed product's language was unusable
};

// The product is not installed: [default] languages/force_lang/appname and
// each section's lang_code against the UI language, then the primary-id map.
LanguageChoice ChooseLanguageFromSystem(const IniTable& table, const SystemLanguageFacts& facts);

// The product is installed: `configLanguage` is "UI" "language" of its
// config.ini (empty when nothing was read).
LanguageChoice ChooseLanguageFromProduct(const IniTable& table, const std::wstring& configLanguage,
                                         const SystemLanguageFacts& facts);

// Maps the primary language id of the UI language, then the Vietnamese rule
// for an "en" result (nation 251, code page 1258, a 0x042A keyboard layout).
std::wstring NormaliseLanguage(const std::wstring& requested, const SystemLanguageFacts& facts);

// Bit number of a language in the offer server's 64-bit mask ("en" and
// unknown codes give 2).
int LanguageBit(const std::wstring& code);

// The codes of [default] "languages", in the table's order.
std::vector<std::wstring> LanguageList(const IniTable& table);

// Whether the language is in an offer server's 64-bit language mask (two
// 32-bit halves, low first): bit number 1 is the mask's lowest bit.
bool LanguageInMask(const std::wstring& code, uint64_t mask);

}  // namespace lum
