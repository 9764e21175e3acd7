// Statistics reports, links and the offer query that start-up and the install
// run call. Not built yet: each logs so and answers as an unreachable service
// does (nothing sent, no link, no offer answer).
#pragma once
#include <cstdint>
#include <string>

namespace lum {

// Offer server answer (QueryOffer). `answered` false: no usable answer.
struct OfferAnswer {
  bool answered = false;
  int mode = 0;               // 2: the decision is left to the installer
  uint64_t languageMask = 0;  // bit LanguageBit(code) set: offered for that language
};
OfferAnswer QueryOffer(bool apply);

void SendChannelReport(unsigned timeoutMs);
void SendEnvironmentReport(unsigned timeoutMs);
void SendResultReport(int result);
void SendInstallReports(unsigned timeoutMs);
std::wstring GetReferralLink();
// Licence and privacy version texts; empty when they cannot be fetched.
std::wstring FetchLicenseVersion(unsigned timeoutMs);
std::wstring FetchPrivacyVersion(unsigned timeoutMs);

}  // namespace lum
