#include "report/report_envelope.h"

#include <sodium.h>
#include <zlib.h>

#include <atomic>

#include "base/aes_ecb.h"
#include "base/base64.h"
#include "base/text.h"

namespace lum {
namespace {

std::atomic<uint16_t> sequenceCounter{0};

}  // namespace

uint32_t ReportCrc32(const std::string& bytes) {
  uLong crc = crc32(0L, Z_NULL, 0);
  crc = crc32(crc, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size()));
  return static_cast<uint32_t>(crc);
}

std::string UrlEncodeReport(const std::string& bytes) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(bytes.size() * 3);
  for (char c : bytes) {
    const uint8_t b = static_cast<uint8_t>(c);
    if ((b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9')) {
      out += c;
    } else if (b == ' ') {
      out += '+';
    } else {
      out += '%';
      out += kHex[b >> 4];
      out += kHex[b & 15];
    }
  }
  return out;
}

std::string BuildEnvelope(const std::string& clear, const SealKey& key, uint16_t sequence,
                          const RandomSource& random) {
  if (clear.empty() || !random || sodium_init() < 0) return std::string();
  const uint32_t crc = ReportCrc32(clear);
  std::string envelope(kEnvelopeHeaderSize, '\0');
  envelope[0] = static_cast<char>(kEnvelopeHeaderSize);
  envelope[1] = static_cast<char>(kEnvelopeVersion);
  envelope[2] = '4';
  envelope[3] = '0';
  envelope[4] = static_cast<char>(key.keyId & 0xFF);
  envelope[5] = static_cast<char>(kEnvelopeKeyBlockSize / 8);
  for (int i = 0; i < 4; ++i) envelope[6 + i] = static_cast<char>((crc >> (24 - 8 * i)) & 0xFF);
  envelope[10] = static_cast<char>(sequence >> 8);
  envelope[11] = static_cast<char>(sequence & 0xFF);
  envelope[12] = 0;  // mode
  envelope[13] = 0;

  uint8_t aesKey[16];
  uint8_t ephemeralSecret[crypto_box_SECRETKEYBYTES];
  if (!random(aesKey, sizeof(aesKey)) || !random(ephemeralSecret, sizeof(ephemeralSecret)))
    return std::string();
  uint8_t ephemeralPublic[crypto_box_PUBLICKEYBYTES];
  uint8_t shared[crypto_box_BEFORENMBYTES];
  uint8_t wrapped[crypto_secretbox_MACBYTES + sizeof(aesKey)];
  const bool wrappedOk =
      crypto_scalarmult_base(ephemeralPublic, ephemeralSecret) == 0 &&
      crypto_box_beforenm(shared, key.servicePublic, ephemeralSecret) == 0 &&
      crypto_secretbox_easy(wrapped, aesKey, sizeof(aesKey), key.nonce, shared) == 0;
  sodium_memzero(ephemeralSecret, sizeof(ephemeralSecret));
  sodium_memzero(shared, sizeof(shared));
  std::string payload;
  const bool encrypted = wrappedOk && Aes128EcbEncrypt(aesKey, clear, &payload);
  sodium_memzero(aesKey, sizeof(aesKey));
  if (!encrypted) return std::string();

  envelope.append(reinterpret_cast<const char*>(wrapped), sizeof(wrapped));
  envelope.append(reinterpret_cast<const char*>(ephemeralPublic), sizeof(ephemeralPublic));
  envelope += payload;
  return envelope;
}

uint16_t NextReportSequence() { return static_cast<uint16_t>(++sequenceCounter); }

std::string SealReport(const std::wstring& text, const SealKey& key, const RandomSource& random) {
  const std::string clear = WideToUtf8(text);
  if (clear.empty()) return std::string();
  const std::string envelope = BuildEnvelope(clear, key, NextReportSequence(), random);
  if (envelope.empty()) return std::string();
  return UrlEncodeReport(EncodeBase64(envelope));
}

}  // namespace lum
