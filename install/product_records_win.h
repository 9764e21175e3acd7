// The product's scrambled records in the registry (install/product_records.h
// has their form): the theme record and the business hash record.
#pragma once
#include <string>

namespace lum {

// HKLM (the product's view) "software\LumBastion\Biz", value "Hash".
constexpr const wchar_t* kBusinessKey = L"software\\LumBastion\\Biz";

// Stores the theme record (now, `themeName`, theme type 1, the machine
// identifier) as HKCU kThemeKey (product_registry_win.h) "ext".
bool StoreThemeRecord(const std::wstring& themeName);
// Stores {"hash": hash}.
bool StoreBusinessHash(const std::wstring& hash);
// The hash of the stored business record; false when there is none or it is
// not a record of the product's form.
bool ReadBusinessHash(std::wstring* hash);

}  // namespace lum
