// Where reports go and what seals and signs them: the build's endpoints and
// service keys, the installed product's statistics base override, and the
// platform's random source.
#pragma once
#include <string>

#include "report/report_envelope.h"

namespace lum {

// The statistics base: string 1001 of the installed product's
// "i18n\<language>\UrlSettings.dll.locale" when it has one, else the built-in
// base. Read once per process.
std::wstring StatsBase();
std::wstring ChannelHost();
std::wstring OfferHost();

// The service's public key and fixed nonce.
const SealKey& ReportSealKey();
// The 13-byte signature suffix, put together from its masked bytes.
std::string SignatureSuffix();

// CryptGenRandom from a PROV_RSA_FULL verify context (a new key set when
// none exists).
bool PlatformRandom(uint8_t* out, size_t size);

// The string 1001 of a resource file loaded as data; empty when absent.
std::wstring StatsBaseFromUrlSettings(const std::wstring& resourceFile);

}  // namespace lum
