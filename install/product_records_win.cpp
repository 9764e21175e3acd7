#include "install/product_records_win.h"

#include <windows.h>

#include <ctime>

#include "base/install_log.h"
#include "base/text.h"
#include "install/product_records.h"
#include "install/product_registry_win.h"
#include "report/machine_id_win.h"
#include "system/registry_logged_win.h"
#include "system/registry_win.h"

namespace lum {

namespace {

constexpr const char* kLog = "registry";
// A record the product wrote is some hundred characters; anything far larger
// is not one, and is not read.
constexpr size_t kMaxRecordChars = 4096;

bool StoreRecord(HKEY root, const wchar_t* key, const wchar_t* name, ProductRecord record,
                 const std::string& json, const wchar_t* what) {
  RegKey reg;
  const bool ok = reg.Create(root, key, KEY_SET_VALUE) &&
                  reg.WriteString(name, ScrambleRecord(record, json));
  // The record's content stays out of the log: the business hash names an account.
  log::Action(kLog, std::wstring(L"write ") + what, RegistryPlace(root, key, name),
              ok ? 0 : reg.LastError());
  return ok;
}

}  // namespace

bool StoreThemeRecord(const std::wstring& themeName) {
  const std::string json =
      ThemeRecordJson(static_cast<int64_t>(std::time(nullptr)), themeName, MidText());
  return StoreRecord(HKEY_CURRENT_USER, kThemeKey, L"ext", ProductRecord::kTheme, json,
                     L"theme record");
}

bool StoreBusinessHash(const std::wstring& hash) {
  return StoreRecord(HKEY_LOCAL_MACHINE, kBusinessKey, L"Hash", ProductRecord::kBusinessHash,
                     BusinessHashJson(hash), L"business hash record");
}

bool ReadBusinessHash(std::wstring* hash) {
  RegKey reg;
  std::wstring text;
  std::string json;
  return reg.Open(HKEY_LOCAL_MACHINE, kBusinessKey, KEY_QUERY_VALUE) &&
         reg.ReadString(L"Hash", &text) && text.size() <= kMaxRecordChars &&
         UnscrambleRecord(ProductRecord::kBusinessHash, text, &json) &&
         BusinessHashFromJson(json, hash);
}

}  // namespace lum
