// The machine identifier "mid": MD5 of the hardware description (processor
// part, first disk serial, network card address), stored with a check value,
// and the profile identity kept by the installed product.
//
// Portable: the formats and rules. machine_id_win.cpp reads CPUID, the disk
// and network devices and the registry.
#pragma once
#include <cstdint>
#include <string>

namespace lum {

// Lower-case hex MD5 of the bytes.
std::string Md5Hex(const std::string& bytes);

// "%s:%08x" of the twelve vendor characters (EBX, EDX, ECX of leaf 0; the
// misreported "GenuineIotel" reads "GenuineIntel") and EDX of leaf 1.
std::string ProcessorPart(uint32_t ebx, uint32_t edx, uint32_t ecx, uint32_t features);

// The serial of ATA identify data: words 10 to 19, each word's two bytes
// swapped, trailing spaces removed. `identify` holds 512 bytes.
std::string SerialFromIdentify(const uint8_t* identify);

// Twelve upper-case hex digits of a card's permanent address.
std::string MacText(const uint8_t address[6]);

// The literal description used when no part can be read; its mid is never stored.
extern const char kMidFallbackDescription[];

// The mid of a description ("Mid2Failed" when it is empty).
std::string MidFromDescription(const std::string& description);

// What "mid" in the registry holds: mid followed by MD5 hex of the mid.
std::string StoredMidValue(const std::string& mid);

// True (and the first half in `mid`) when `stored` has exactly 64 characters
// and its second half is, ignoring case, the MD5 hex of its first half.
bool AcceptStoredMid(const std::string& stored, std::string* mid);

// The "Param" value of the profile: every byte but the last XORed with (last
// byte + index), then the keyed stage: each byte XORed with byte (i mod 16)
// of MD5 of the value name. ScrambleProfileRecord is the inverse, with
// `salt` as the last byte.
std::string UnscrambleProfileRecord(const std::string& scrambled, const std::string& valueName);
std::string ScrambleProfileRecord(const std::string& clear, const std::string& valueName,
                                  uint8_t salt);

// The stored pair "mid" + "mid2" of an unscrambled record when both are
// non-empty and its "client_uid" equals `clientId1` or its "client_uid2"
// equals `clientId2` (empty identifiers never match).
bool ProfileIdentityFromRecord(const std::string& record, const std::wstring& clientId1,
                               const std::wstring& clientId2, std::wstring* identity);

}  // namespace lum
