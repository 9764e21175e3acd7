// The promotion options as the installer carries them: a name -> text map,
// held in the session as the compact JSON text of one object with string
// members. The "/promo:" switch brings them as Base64 of such a JSON object.
#pragma once
#include <map>
#include <string>

namespace lum {

using PromoEntries = std::map<std::wstring, std::wstring>;

// Base64 -> bytes -> JSON object; every member becomes name -> string value
// (numbers and booleans as their text, nested objects and arrays as compact
// JSON). False, with `entries` cleared, when the text is not Base64 or the
// bytes are not a JSON object.
bool DecodePromoSwitch(const std::wstring& base64, PromoEntries& entries);

// Compact JSON text ("{"a":"1"}", "{}" when empty), names sorted.
std::wstring PromoEntriesToJson(const PromoEntries& entries);

}  // namespace lum
