// The statistics service's side of the sealed report: opening a "v611"
// envelope with the service's private key. Only the host tool and the tests
// use it; the installer seals and never opens.
#pragma once
#include <openssl/evp.h>
#include <sodium.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "report/report_envelope.h"

namespace lum {

struct OpenedEnvelope {
  std::string clear;
  uint16_t sequence = 0;
  uint32_t keyId = 0;
};

// Empty when `text` is not URL-encoded Base64 ("%XX", '+' as space).
inline std::string UrlDecodeReport(const std::string& text) {
  auto hex = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
  };
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '+') {
      out += ' ';
    } else if (text[i] == '%') {
      if (i + 2 >= text.size()) return std::string();
      const int high = hex(text[i + 1]);
      const int low = hex(text[i + 2]);
      if (high < 0 || low < 0) return std::string();
      out += static_cast<char>(high * 16 + low);
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

// Opens raw envelope bytes. Every check is made: header fields, key block
// (Poly1305), payload length and padding, CRC of the clear text, and the
// sequence number when the caller expects one (`expectedSequence` >= 0):
// the sequence is the one field no cipher covers. The key identifier must be
// the service's (1), and the ephemeral key's top bit clear, as every X25519
// public key has it (the curve ignores that bit, so a flip would go
// unnoticed otherwise). `why` names the refusal.
inline bool OpenEnvelope(const std::string& envelope, const uint8_t serviceSecret[32],
                         const uint8_t nonce[24], int expectedSequence, OpenedEnvelope* out,
                         std::string* why) {
  auto refuse = [why](const char* reason) {
    if (why) *why = reason;
    return false;
  };
  const size_t fixed = kEnvelopeHeaderSize + kEnvelopeKeyBlockSize;
  if (envelope.size() < fixed + 16 || (envelope.size() - fixed) % 16 != 0)
    return refuse("length");
  const auto* b = reinterpret_cast<const uint8_t*>(envelope.data());
  if (b[0] != kEnvelopeHeaderSize || b[1] != kEnvelopeVersion || b[2] != '4' || b[3] != '0' ||
      b[4] != 1 || b[5] != kEnvelopeKeyBlockSize / 8 || b[12] != 0 || b[13] != 0)
    return refuse("header");
  const uint32_t crc = (uint32_t(b[6]) << 24) | (uint32_t(b[7]) << 16) | (uint32_t(b[8]) << 8) | b[9];
  const uint16_t sequence = static_cast<uint16_t>((b[10] << 8) | b[11]);
  if (expectedSequence >= 0 && sequence != expectedSequence) return refuse("sequence");
  if ((b[77] & 0x80) != 0) return refuse("key block");
  if (sodium_init() < 0) return refuse("sodium");
  uint8_t shared[crypto_box_BEFORENMBYTES];
  if (crypto_box_beforenm(shared, b + 46, serviceSecret) != 0) return refuse("key agreement");
  uint8_t aesKey[16];
  const bool unwrapped = crypto_secretbox_open_easy(aesKey, b + 14, 32, nonce, shared) == 0;
  sodium_memzero(shared, sizeof(shared));
  if (!unwrapped) return refuse("key block");

  std::unique_ptr<EVP_CIPHER_CTX, void (*)(EVP_CIPHER_CTX*)> context(EVP_CIPHER_CTX_new(),
                                                                      EVP_CIPHER_CTX_free);
  const size_t cipherSize = envelope.size() - fixed;
  std::vector<uint8_t> clear(cipherSize + 16);
  int written = 0;
  int last = 0;
  const bool decrypted =
      context && EVP_DecryptInit_ex(context.get(), EVP_aes_128_ecb(), nullptr, aesKey, nullptr) == 1 &&
      EVP_DecryptUpdate(context.get(), clear.data(), &written, b + fixed,
                        static_cast<int>(cipherSize)) == 1 &&
      EVP_DecryptFinal_ex(context.get(), clear.data() + written, &last) == 1;
  sodium_memzero(aesKey, sizeof(aesKey));
  if (!decrypted) return refuse("payload padding");
  std::string text(reinterpret_cast<const char*>(clear.data()), static_cast<size_t>(written + last));
  if (ReportCrc32(text) != crc) return refuse("crc");
  if (out) {
    out->clear = text;
    out->sequence = sequence;
    out->keyId = b[4];
  }
  return true;
}

}  // namespace lum
