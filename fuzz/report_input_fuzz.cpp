// What comes back from the network or the registry into the report code: the
// offer server's answer, the profile record, a stored mid. None of them may
// read out of bounds, and each keeps its invariants.
#include <cstddef>
#include <cstdint>
#include <string>

#include "base/text.h"
#include "report/machine_id.h"
#include "report/offer_answer.h"

namespace {

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);

  lum::OfferOutcome outcome;
  if (lum::ParseOfferAnswer(bytes, &outcome)) {
    Check(outcome.answered && outcome.off == (outcome.status <= 0));
  } else {
    Check(!outcome.answered && outcome.status == lum::kOfferUnparsable);
  }
  const lum::OfferFields fields = lum::OfferFieldsFrom(outcome, L"101");
  Check(fields.offerMode >= 0 && fields.offerMode <= 2);
  Check(fields.offerMode != 1 || outcome.status > 0);

  const std::string record = lum::UnscrambleProfileRecord(bytes, "Param");
  Check(size < 2 || record.size() == size - 1);
  if (size >= 2) Check(lum::ScrambleProfileRecord(record, "Param", data[size - 1]) == bytes);
  std::wstring identity;
  if (lum::ProfileIdentityFromRecord(record, L"c-1", L"c-2", &identity)) Check(!identity.empty());

  std::string mid;
  if (lum::AcceptStoredMid(bytes, &mid)) Check(mid.size() == 32 && bytes.size() == 64);
  return 0;
}
