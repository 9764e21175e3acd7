// The offer server's "promo/opera" query: one process-wide query object,
// asked at most once; its request runs on a thread of its own with the 5 s
// network time-out and the caller waits for it at most 7,000 ms.
//
// Threads: QueryOffer may be called from any thread; the first call asks,
// later calls return the recorded outcome. The request thread keeps the
// object alive on its own when the wait ends first.
#pragma once
#include "report/offer_answer.h"

namespace lum {

constexpr unsigned kOfferWaitMs = 5 * 1000 + 2000;

// Asks the offer server (once) and, with `apply`, writes offerValueA,
// offerValueB, offerMode and offerChecked of the session.
OfferOutcome QueryOffer(bool apply);

}  // namespace lum
