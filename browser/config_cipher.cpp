#include "browser/config_cipher.h"

#include <cstdint>
#include <utility>

#include "base/base64.h"
#include "base/text.h"

namespace lum {

namespace {

constexpr int kDroppedBytes = 256;

// The stream is symmetric: the same call enciphers and deciphers.
std::string ApplyKeyStream(const std::string& data, const std::string& key) {
  uint8_t state[256];
  for (int i = 0; i < 256; ++i) state[i] = static_cast<uint8_t>(i);
  uint8_t j = 0;
  for (int i = 0; i < 256; ++i) {
    j = static_cast<uint8_t>(j + state[i] + static_cast<uint8_t>(key[i % key.size()]));
    std::swap(state[i], state[j]);
  }
  uint8_t a = 0, b = 0;
  auto next = [&]() {
    a = static_cast<uint8_t>(a + 1);
    b = static_cast<uint8_t>(b + state[a]);
    std::swap(state[a], state[b]);
    return state[static_cast<uint8_t>(state[a] + state[b])];
  };
  for (int i = 0; i < kDroppedBytes; ++i) next();
  std::string out = data;
  for (char& c : out) c = static_cast<char>(static_cast<uint8_t>(c) ^ next());
  return out;
}

}  // namespace

std::string EncipherConfig(const std::string& plain, const std::string& key) {
  if (key.empty()) return std::string();
  return EncodeBase64(ApplyKeyStream(plain, key));
}

bool DecipherConfig(const std::string& text, const std::string& key, std::string* plain) {
  if (key.empty()) return false;
  std::string bytes;
  if (!DecodeBase64(Utf8ToWide(text), bytes)) return false;
  *plain = ApplyKeyStream(bytes, key);
  return true;
}

}  // namespace lum
