// The referral page the installer may open at the end of a successful run.
//
// The query text "mid=<mid>&ch=<channel>" is sealed for the service with a
// libsodium sealed box (X25519 + XSalsa20-Poly1305 with an ephemeral sender
// key: only the holder of the secret key can read it, and nobody can tell two
// machines' links apart), Base64-encoded and URL-encoded so that '+', '/'
// and '=' survive the query string. `key` is the Base64 of the service's
// 32-byte public key, as the language table's "key" holds it.
#pragma once
#include <string>

namespace lum {

// "<base>?<sealed text>"; empty when mid, channel, base or a usable key is missing.
std::wstring BuildReferralLink(const std::wstring& base, const std::wstring& key,
                               const std::wstring& mid, const std::wstring& channel);

}  // namespace lum
