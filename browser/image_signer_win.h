// The publisher of a signed program: its Authenticode signature verified by
// Windows, then the signing certificate's subject name.
#pragma once
#include <string>

namespace lum {

// The simple display name of the leaf certificate that signed `path`, when
// the embedded signature verifies (no revocation check: the installer may be
// offline). False for unsigned, tampered or unreadable files.
bool VerifiedSignerName(const std::wstring& path, std::wstring* signer);

// The file verifies and is signed by one of the signer kind's publishers.
bool SignedByPublisherOf(const std::wstring& path, int signerKind);

}  // namespace lum
