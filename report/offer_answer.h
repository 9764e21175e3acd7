// The offer server's answer to "promo/opera" and what it makes of the
// session's offer fields.
//
// The answer is one JSON object (the format is ours; the loopback server in
// tests/report_server documents it beside its code):
//   {"value": 1, "checked": 1, "mode": 2, "lang_mask": "0x0000000000000106"}
// value: above 0 the offer is on, 0 or below it is off; checked: the offer
// box starts checked; mode and lang_mask: the cloud-analysis rule (mode 2:
// on for the UI languages whose bit is set in the 64-bit mask). Only "value"
// is required; the others default to 0.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace lum {

// The longest answer read. A legal answer is under 200 bytes even with
// spaces and the widest numbers; a longer one is no answer and is not read on.
constexpr size_t kOfferAnswerMaxBytes = 4096;

// Statuses besides an answer's value. A failed request is negative so that it
// can never read as an answer that switches the offer on.
constexpr int kOfferRequestFailed = -1;  // could not connect or read
constexpr int kOfferBadStatus = -2;      // an HTTP status outside 200-299
constexpr int kOfferTimedOut = -3;       // the caller's wait ended first
constexpr int kOfferUnparsable = -5;

struct OfferOutcome {
  int status = kOfferTimedOut;
  bool answered = false;         // a parsed answer arrived (status is its value)
  bool off = false;              // answered with a value of 0 or below
  bool defaultChecked = false;
  int mode = 0;
  uint64_t languageMask = 0;
  uint32_t elapsedMs = 0;
};

// Fills the answer part of `out`; false (status -5) when the body is not an
// answer object.
bool ParseOfferAnswer(const std::string& body, OfferOutcome* out);

struct OfferFields {
  int32_t offerMode = 2;
  int32_t offerValueA = 0;
  int32_t offerValueB = 0;
  bool offerChecked = false;
};

// valueA the elapsed milliseconds, valueB 1 for an answer value of 1 or more
// (else the status); mode 1 with the answer's check flag, 0 for "off", and
// 2 (checked only for channel "101") without a usable answer.
OfferFields OfferFieldsFrom(const OfferOutcome& outcome, const std::wstring& channel);

}  // namespace lum
