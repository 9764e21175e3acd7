#include "session/promo_switch.h"

#include <json/json.h>

#include <exception>
#include <memory>
#include <sstream>

#include "base/base64.h"
#include "base/text.h"

namespace lum {
namespace {

std::string CompactJson(const Json::Value& value) {
  Json::StreamWriterBuilder builder;
  builder["indentation"] = "";
  // Keep non-ASCII characters as they are; the Windows side converts the
  // text to the ANSI code page where a consumer wants it.
  builder["emitUTF8"] = true;
  return Json::writeString(builder, value);
}

std::wstring MemberText(const Json::Value& value) {
  if (value.isObject() || value.isArray()) return Utf8ToWide(CompactJson(value));
  return Utf8ToWide(value.asString());
}

}  // namespace

bool DecodePromoSwitch(const std::wstring& base64, PromoEntries& entries) {
  entries.clear();
  std::string bytes;
  if (!DecodeBase64(base64, bytes)) return false;
  Json::Value root;
  try {
    Json::CharReaderBuilder builder;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    std::string errors;
    if (!reader->parse(bytes.data(), bytes.data() + bytes.size(), &root, &errors)) return false;
    if (!root.isObject()) return false;
    for (const std::string& name : root.getMemberNames()) {
      entries[Utf8ToWide(name)] = MemberText(root[name]);
    }
  } catch (const std::exception&) {
    // jsoncpp throws on input nested deeper than its stack limit.
    entries.clear();
    return false;
  }
  return true;
}

std::wstring PromoEntriesToJson(const PromoEntries& entries) {
  Json::Value root(Json::objectValue);
  for (const auto& entry : entries) {
    root[WideToUtf8(entry.first)] = WideToUtf8(entry.second);
  }
  return Utf8ToWide(CompactJson(root));
}

}  // namespace lum
