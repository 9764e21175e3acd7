#include "session/promo_switch.h"

#include "base/base64.h"
#include "base/json.h"
#include "base/text.h"

namespace lum {
namespace {

// Non-ASCII characters stay as they are; the Windows side converts the text
// to the ANSI code page where a consumer wants it.
std::string CompactJson(const JsonValue& value) { return WriteJson(value, JsonText::kUtf8); }

std::wstring MemberText(const JsonValue& value) {
  if (value.IsObject() || value.IsArray()) return Utf8ToWide(CompactJson(value));
  return Utf8ToWide(value.AsString());
}

}  // namespace

bool DecodePromoSwitch(const std::wstring& base64, PromoEntries& entries) {
  entries.clear();
  std::string bytes;
  if (!DecodeBase64(base64, bytes)) return false;
  JsonValue root;
  if (!ParseJson(bytes, &root) || !root.IsObject()) return false;
  for (const auto& member : root.Members())
    entries[Utf8ToWide(member.first)] = MemberText(member.second);
  return true;
}

std::wstring PromoEntriesToJson(const PromoEntries& entries) {
  JsonValue root = JsonValue::Object();
  for (const auto& entry : entries) {
    root[WideToUtf8(entry.first)] = WideToUtf8(entry.second);
  }
  return Utf8ToWide(CompactJson(root));
}

}  // namespace lum
