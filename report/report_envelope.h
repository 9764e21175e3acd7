// The sealed report value that travels as "v611": the clear text under a
// one-time AES-128 key, that key wrapped for the statistics service with
// Curve25519 and the XSalsa20-Poly1305 secret box, a CRC-32 of the clear text
// and a process-wide sequence number.
//
//   offset size  content (integers big-endian)
//   0      1     header length, 14
//   1      1     format version, 6
//   2      2     '4' '0'
//   4      1     key identifier (low byte)
//   5      1     key block length / 8 (8)
//   6      4     CRC-32 of the clear text
//   10     2     sequence number (the first envelope of a process carries 1)
//   12     1     mode (0)
//   13     1     0
//   14     32    Poly1305 tag, then the XSalsa20 cipher text of the AES key
//   46     32    the sender's ephemeral Curve25519 public key
//   78     n     AES-128-ECB of the clear text, PKCS#7 padded
//
// Portable: the random source is handed in (CryptGenRandom on Windows).
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace lum {

constexpr size_t kEnvelopeHeaderSize = 14;
constexpr size_t kEnvelopeKeyBlockSize = 64;
constexpr uint8_t kEnvelopeVersion = 6;

// The service side of the envelope: build configuration, never secrets.
struct SealKey {
  uint8_t servicePublic[32] = {};
  uint8_t nonce[24] = {};
  uint32_t keyId = 1;
};

// Fills `size` bytes with cryptographic randomness; false when it cannot.
using RandomSource = std::function<bool(uint8_t* out, size_t size)>;

// CRC-32 (ISO-HDLC: reflected, initial and final value 0xFFFFFFFF).
uint32_t ReportCrc32(const std::string& bytes);

// Letters and digits unchanged, space as '+', every other byte as "%XX".
std::string UrlEncodeReport(const std::string& bytes);

// The envelope bytes for `clear` with the given sequence number; empty when
// the clear text is empty or the random source or a cipher fails.
std::string BuildEnvelope(const std::string& clear, const SealKey& key, uint16_t sequence,
                          const RandomSource& random);

// The process-wide 16-bit counter, incremented before use. Sealing happens on
// the report threads one after another; the counter is atomic all the same.
uint16_t NextReportSequence();

// The report text sealed, Base64-encoded and URL-encoded; empty on any
// failure (and then the report is not sent).
std::string SealReport(const std::wstring& text, const SealKey& key, const RandomSource& random);

}  // namespace lum
