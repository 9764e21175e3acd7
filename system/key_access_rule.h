// How a trustee's present access to a registry key is judged from the key's
// DACL, on the DACL's raw bytes. Portable (no Windows types) so that the
// walk over entries of every type is tested natively with the sanitizers:
// a DACL may hold object, callback or compound entries whose layout differs
// from the allowed/denied one, and reading their SID at the allowed entry's
// offset reads whatever lies there.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace lum {

enum class KeyAccess { kAllowed, kDenied, kNeither };

// Entry types and flags of the Windows ACL format that the judgement reads.
constexpr uint8_t kAceTypeAccessAllowed = 0x00;
constexpr uint8_t kAceTypeAccessDenied = 0x01;
constexpr uint8_t kAceFlagInheritOnly = 0x08;

// Maps the generic bits of `mask` to the specific registry-key rights
// (GENERIC_READ -> KEY_READ, ..., GENERIC_ALL -> KEY_ALL_ACCESS).
uint32_t MapGenericKeyRights(uint32_t mask);

// Judges `wanted` rights (generic bits allowed) for the trustee whose SID is
// `trusteeSid` (raw SID bytes) from the DACL bytes `acl` (ACL header and
// entries, as much as the buffer holds): a denied entry for the trustee or
// for Everyone that covers any wanted right -> kDenied; allowed entries for
// the trustee covering every wanted right -> kAllowed; else kNeither.
// Inherit-only entries and entries of any other type are skipped before
// their body is read; a DACL whose header or entries do not fit the buffer
// is judged kNeither.
KeyAccess JudgeKeyAccess(const uint8_t* acl, size_t aclBytes,
                         const std::vector<uint8_t>& trusteeSid, uint32_t wanted);

}  // namespace lum
