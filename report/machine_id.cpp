#include "report/machine_id.h"

#include <cstdio>
#include <cstring>

#include "base/json.h"
#include "base/md5.h"
#include "base/text.h"

namespace lum {

const char kMidFallbackDescription[] = "Mid2Failed";

std::string Md5Hex(const std::string& bytes) {
  uint8_t digest[16] = {};
  Md5(bytes.data(), bytes.size(), digest);
  static const char kHex[] = "0123456789abcdef";
  std::string out;
  for (unsigned char b : digest) {
    out += kHex[b >> 4];
    out += kHex[b & 15];
  }
  return out;
}

std::string ProcessorPart(uint32_t ebx, uint32_t edx, uint32_t ecx, uint32_t features) {
  char vendor[13] = {};
  memcpy(vendor, &ebx, 4);
  memcpy(vendor + 4, &edx, 4);
  memcpy(vendor + 8, &ecx, 4);
  std::string name(vendor, strnlen(vendor, 12));
  if (name == "GenuineIotel") name = "GenuineIntel";
  char text[128];
  snprintf(text, sizeof(text), "%s:%08x", name.c_str(), features);
  return text;
}

std::string SerialFromIdentify(const uint8_t* identify) {
  std::string serial;
  for (int word = 10; word < 20; ++word) {
    serial += static_cast<char>(identify[word * 2 + 1]);
    serial += static_cast<char>(identify[word * 2]);
  }
  const size_t nul = serial.find('\0');
  if (nul != std::string::npos) serial.resize(nul);
  while (!serial.empty() && serial.back() == ' ') serial.pop_back();
  return serial;
}

std::string MacText(const uint8_t address[6]) {
  char text[16];
  snprintf(text, sizeof(text), "%02X%02X%02X%02X%02X%02X", address[0], address[1], address[2],
           address[3], address[4], address[5]);
  return text;
}

std::string MidFromDescription(const std::string& description) {
  return Md5Hex(description.empty() ? std::string(kMidFallbackDescription) : description);
}

std::string StoredMidValue(const std::string& mid) { return mid + Md5Hex(mid); }

bool AcceptStoredMid(const std::string& stored, std::string* mid) {
  if (stored.size() != 64) return false;
  const std::string first = stored.substr(0, 32);
  if (!EqualsNoCase(Utf8ToWide(stored.substr(32)), Utf8ToWide(Md5Hex(first)))) return false;
  *mid = first;
  return true;
}

namespace {

std::string KeyedStage(std::string bytes, const std::string& valueName) {
  uint8_t key[16] = {};
  Md5(valueName.data(), valueName.size(), key);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(bytes[i] ^ key[i % 16]);
  return bytes;
}

}  // namespace

std::string UnscrambleProfileRecord(const std::string& scrambled, const std::string& valueName) {
  if (scrambled.size() < 2) return std::string();
  const uint8_t last = static_cast<uint8_t>(scrambled.back());
  std::string clear(scrambled, 0, scrambled.size() - 1);
  for (size_t i = 0; i < clear.size(); ++i)
    clear[i] = static_cast<char>(static_cast<uint8_t>(clear[i]) ^ static_cast<uint8_t>(last + i));
  return KeyedStage(clear, valueName);
}

std::string ScrambleProfileRecord(const std::string& clear, const std::string& valueName,
                                  uint8_t salt) {
  std::string out = KeyedStage(clear, valueName);
  for (size_t i = 0; i < out.size(); ++i)
    out[i] = static_cast<char>(static_cast<uint8_t>(out[i]) ^ static_cast<uint8_t>(salt + i));
  out += static_cast<char>(salt);
  return out;
}

bool ProfileIdentityFromRecord(const std::string& record, const std::wstring& clientId1,
                               const std::wstring& clientId2, std::wstring* identity) {
  JsonValue root;
  if (!ParseJson(record, &root) || !root.IsObject()) return false;
  auto text = [&root](const char* name) {
    const JsonValue& v = root[name];
    return v.IsString() ? Utf8ToWide(v.AsString()) : std::wstring();
  };
  const std::wstring mid = text("mid");
  const std::wstring mid2 = text("mid2");
  if (mid.empty() || mid2.empty()) return false;
  const bool first = !clientId1.empty() && text("client_uid") == clientId1;
  const bool second = !clientId2.empty() && text("client_uid2") == clientId2;
  if (!first && !second) return false;
  *identity = mid + mid2;
  return true;
}

}  // namespace lum
