// The machine identifier of this machine, and the identities the statistics
// carry. Computed on whichever thread asks first and cached; the processor
// part is computed once under a lock.
#pragma once
#include <cstddef>
#include <string>

namespace lum {

// HKLM (32-bit view) key of the stored "mid" and "mid_old".
constexpr const wchar_t* kMidKey = L"Software\\LumSafe\\Liveup";

// The processor part "<vendor>:<features>" (cached).
std::string ProcessorPartOnce();
// Processor part, then the first disk serial found, then the smallest
// network card address; empty when nothing could be read.
std::string HardwareDescription();

// The stored mid when its check value holds; otherwise the mid is computed,
// stored (an earlier different value moves to "mid_old") and returned. The
// "Mid2Failed" mid of a machine without any readable part (or whose
// hardware queries do not answer within their bound) is never stored.
// Not cached: GetMid caches it.
std::string ComputeMid();

// Fills `buffer` with the 32 characters of the mid (and a terminating zero
// when it fits); nothing happens when `size` is below 32.
void GetMid(char* buffer, size_t size);
// Wide form: at most size - 1 characters; false when size is 0.
bool GetMid(wchar_t* buffer, size_t size);
std::wstring MidText();

// mid followed by the base module's identity text (the mid alone when the
// module cannot give one); computed once per process.
std::wstring GetMachineIdentity();

// The stored profile identity ("mid" + "mid2" of HKCU
// "software\LumBastion\UserProfile" "Param") when it matches a current client
// identifier, else GetMachineIdentity(). The current identifiers are the
// session's client id (the "/clientid:" switch) and the REG_SZ "ClientUid"
// under that HKCU key, which the installed product's account link keeps.
std::wstring GetProfileIdentity();

}  // namespace lum
