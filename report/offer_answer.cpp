#include "report/offer_answer.h"

#include <cstdlib>
#include "base/json.h"
#include "base/text.h"

namespace lum {
namespace {

bool ReadInt(const JsonValue& v, int* out) {
  if (v.IsInt()) return *out = v.AsInt(), true;
  if (v.IsBool()) return *out = v.AsBool() ? 1 : 0, true;
  return false;
}

}  // namespace

bool ParseOfferAnswer(const std::string& body, OfferOutcome* out) {
  JsonValue root;
  int value = 0;
  if (body.empty() || !ParseJson(body, &root) ||
      !root.IsObject() || !ReadInt(root["value"], &value)) {
    out->status = kOfferUnparsable;
    out->answered = false;
    return false;
  }
  int checked = 0;
  int mode = 0;
  ReadInt(root["checked"], &checked);
  ReadInt(root["mode"], &mode);
  uint64_t mask = 0;
  const JsonValue& maskValue = root["lang_mask"];
  if (maskValue.IsString()) {
    mask = std::strtoull(maskValue.AsString().c_str(), nullptr, 0);
  } else if (maskValue.IsUInt64()) {
    mask = maskValue.AsUInt64();
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
