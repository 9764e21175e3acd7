#include "install/product_records.h"

#include "base/json.h"
#include "base/text.h"
#include "browser/browser_config.h"
#include "browser/config_cipher.h"

namespace lum {

namespace {

// Keys the product carries too; changing one makes the installed product
// read its record as damaged.
constexpr const char* kThemeRecordKey = "tamvelo";
constexpr const char* kBusinessHashKey = "hasbirk";

}  // namespace

bool ProductRecordByName(const std::string& name, ProductRecord* record) {
  if (name == "tips") *record = ProductRecord::kPromoTips;
  else if (name == "theme") *record = ProductRecord::kTheme;
  else if (name == "hash") *record = ProductRecord::kBusinessHash;
  else return false;
  return true;
}

const char* ProductRecordKey(ProductRecord record) {
  switch (record) {
    case ProductRecord::kTheme: return kThemeRecordKey;
    case ProductRecord::kBusinessHash: return kBusinessHashKey;
    case ProductRecord::kPromoTips: break;
  }
  return kPromoTipsKey;
}

std::string ThemeRecordJson(int64_t nowSeconds, const std::wstring& themeName,
                            const std::wstring& machineId) {
  JsonValue root = JsonValue::Object();
  root["time"] = std::to_string(nowSeconds);
  root["theme_name"] = WideToUtf8(themeName);
  root["theme_type"] = 1;
  root["uid"] = WideToUtf8(machineId);
  return WriteJson(root);
}

std::string BusinessHashJson(const std::wstring& hash) {
  JsonValue root = JsonValue::Object();
  root["hash"] = WideToUtf8(hash);
  return WriteJson(root);
}

bool BusinessHashFromJson(const std::string& json, std::wstring* hash) {
  JsonValue root;
  if (!ParseJson(json, &root) || !root.IsObject() || !root["hash"].IsString()) return false;
  *hash = Utf8ToWide(root["hash"].AsString());
  return true;
}

std::wstring ScrambleRecord(ProductRecord record, const std::string& json) {
  return Utf8ToWide(EncipherConfig(json, ProductRecordKey(record)));
}

bool UnscrambleRecord(ProductRecord record, const std::wstring& text, std::string* json) {
  return DecipherConfig(WideToUtf8(text), ProductRecordKey(record), json);
}

}  // namespace lum
