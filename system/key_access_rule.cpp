#include "system/key_access_rule.h"

#include <cstring>

namespace lum {
namespace {

constexpr uint32_t kGenericRead = 0x80000000u;
constexpr uint32_t kGenericWrite = 0x40000000u;
constexpr uint32_t kGenericExecute = 0x20000000u;
constexpr uint32_t kGenericAll = 0x10000000u;
constexpr uint32_t kKeyRead = 0x20019u;
constexpr uint32_t kKeyWrite = 0x20006u;
constexpr uint32_t kKeyExecute = 0x20019u;
constexpr uint32_t kKeyAllAccess = 0xF003Fu;

constexpr size_t kAclHeaderBytes = 8;
constexpr size_t kAceHeaderBytes = 4;
constexpr size_t kSidHeaderBytes = 8;  // revision, count, 6-byte authority

uint16_t Read16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Read32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// Length of the SID at `sid` when it fits in `available` bytes, else 0.
size_t SidLength(const uint8_t* sid, size_t available) {
  if (available < kSidHeaderBytes) return 0;
  const size_t length = kSidHeaderBytes + 4u * sid[1];
  return length <= available ? length : 0;
}

bool SameSid(const uint8_t* sid, size_t length, const std::vector<uint8_t>& other) {
  return length == other.size() && std::memcmp(sid, other.data(), length) == 0;
}

// S-1-1-0.
bool IsEveryone(const uint8_t* sid, size_t length) {
  static const uint8_t kEveryone[] = {1, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0};
  return length == sizeof(kEveryone) && std::memcmp(sid, kEveryone, length) == 0;
}

}  // namespace

uint32_t MapGenericKeyRights(uint32_t mask) {
  uint32_t mapped = mask & ~(kGenericRead | kGenericWrite | kGenericExecute | kGenericAll);
  if (mask & kGenericRead) mapped |= kKeyRead;
  if (mask & kGenericWrite) mapped |= kKeyWrite;
  if (mask & kGenericExecute) mapped |= kKeyExecute;
  if (mask & kGenericAll) mapped |= kKeyAllAccess;
  return mapped;
}

KeyAccess JudgeKeyAccess(const uint8_t* acl, size_t aclBytes,
                         const std::vector<uint8_t>& trusteeSid, uint32_t wanted) {
  if (acl == nullptr || aclBytes < kAclHeaderBytes) return KeyAccess::kNeither;
  const size_t declared = Read16(acl + 2);
  const size_t size = declared < aclBytes ? declared : aclBytes;
  const unsigned count = Read16(acl + 4);
  const uint32_t want = MapGenericKeyRights(wanted);
  uint32_t allowed = 0;
  size_t offset = kAclHeaderBytes;
  for (unsigned i = 0; i < count; ++i) {
    if (offset + kAceHeaderBytes > size) return KeyAccess::kNeither;
    const uint8_t* ace = acl + offset;
    const uint8_t type = ace[0];
    const uint8_t flags = ace[1];
    const size_t aceSize = Read16(ace + 2);
    if (aceSize < kAceHeaderBytes || offset + aceSize > size) return KeyAccess::kNeither;
    offset += aceSize;
    if ((flags & kAceFlagInheritOnly) != 0) continue;
    // Only these two types have the mask-then-SID body read below.
    if (type != kAceTypeAccessAllowed && type != kAceTypeAccessDenied) continue;
    if (aceSize < kAceHeaderBytes + 4) continue;
    const uint32_t mask = MapGenericKeyRights(Read32(ace + kAceHeaderBytes));
    const uint8_t* sid = ace + kAceHeaderBytes + 4;
    const size_t sidLength = SidLength(sid, aceSize - kAceHeaderBytes - 4);
    if (sidLength == 0) continue;
    const bool forTrustee = SameSid(sid, sidLength, trusteeSid);
    if (type == kAceTypeAccessDenied && (forTrustee || IsEveryone(sid, sidLength)) &&
        (mask & want) != 0) {
      return KeyAccess::kDenied;
    }
    if (type == kAceTypeAccessAllowed && forTrustee) allowed |= mask;
  }
  return (allowed & want) == want ? KeyAccess::kAllowed : KeyAccess::kNeither;
}

}  // namespace lum
