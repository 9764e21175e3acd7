// The product's scrambled records that the installer writes and the product
// reads back: the theme record and the business hash record. Both are compact
// JSON kept in the product's configuration cipher (browser/config_cipher.h),
// each under a key of its own, so a record copied into another's place does
// not read as that record.
#pragma once
#include <cstdint>
#include <string>

namespace lum {

// The records the product reads in scrambled form, by the name the product
// side's reader (tools/config_decode --record) knows them by.
enum class ProductRecord { kPromoTips, kTheme, kBusinessHash };

// False for a name that is not one of "tips", "theme", "hash".
bool ProductRecordByName(const std::string& name, ProductRecord* record);
// The cipher key of a record.
const char* ProductRecordKey(ProductRecord record);

// {"theme_name":..,"theme_type":1,"time":"<seconds>","uid":..} (compact).
std::string ThemeRecordJson(int64_t nowSeconds, const std::wstring& themeName,
                            const std::wstring& machineId);
// {"hash":..} (compact).
std::string BusinessHashJson(const std::wstring& hash);
// The "hash" member of a business hash record's JSON; false when the text is
// not a JSON object with a string "hash".
bool BusinessHashFromJson(const std::string& json, std::wstring* hash);

// The record's JSON in its stored (scrambled) form, and back. UnscrambleRecord
// is false when `text` is not a record of the cipher.
std::wstring ScrambleRecord(ProductRecord record, const std::string& json);
bool UnscrambleRecord(ProductRecord record, const std::wstring& text, std::string* json);

}  // namespace lum
