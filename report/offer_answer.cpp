#include "report/offer_answer.h"

#include <json/json.h>

#include <cstdlib>
#include <memory>

#include "base/text.h"

namespace lum {
namespace {

bool ReadInt(const Json::Value& v, int* out) {
  if (v.isInt()) return *out = v.asInt(), true;
  if (v.isBool()) return *out = v.asBool() ? 1 : 0, true;
  return false;
}

}  // namespace

bool ParseOfferAnswer(const std::string& body, OfferOutcome* out) {
  Json::CharReaderBuilder builder;
  std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
  Json::Value root;
  std::string errors;
  int value = 0;
  if (body.empty() || !reader->parse(body.data(), body.data() + body.size(), &root, &errors) ||
      !root.isObject() || !ReadInt(root["value"], &value)) {
    out->status = kOfferUnparsable;
    out->answered = false;
    return false;
  }
  int checked = 0;
  int mode = 0;
  ReadInt(root["checked"], &checked);
  ReadInt(root["mode"], &mode);
  uint64_t mask = 0;
  const Json::Value& maskValue = root["lang_mask"];
  if (maskValue.isString()) {
    mask = std::strtoull(maskValue.asString().c_str(), nullptr, 0);
  } else if (maskValue.isUInt64()) {
    mask = maskValue.asUInt64();
  }
  out->status = value;
  out->answered = true;
  out->off = value <= 0;
  out->defaultChecked = checked != 0;
  out->mode = mode;
  out->languageMask = mask;
  return true;
}

OfferFields OfferFieldsFrom(const OfferOutcome& outcome, const std::wstring& channel) {
  OfferFields fields;
  fields.offerValueA = static_cast<int32_t>(outcome.elapsedMs);
  fields.offerValueB = outcome.status >= 1 ? 1 : outcome.status;
  if (outcome.answered && outcome.status > 0) {
    fields.offerMode = 1;
    fields.offerChecked = outcome.defaultChecked;
  } else if (outcome.answered && outcome.off) {
    fields.offerMode = 0;
    fields.offerChecked = false;
  } else {
    fields.offerMode = 2;
    fields.offerChecked = EqualsNoCase(channel, L"101");
  }
  return fields;
}

}  // namespace lum
