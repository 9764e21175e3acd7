#include "base/base64.h"

#include <cstdint>

namespace lum {
namespace {

int SextetOf(wchar_t c) {
  if (c >= L'A' && c <= L'Z') return c - L'A';
  if (c >= L'a' && c <= L'z') return c - L'a' + 26;
  if (c >= L'0' && c <= L'9') return c - L'0' + 52;
  if (c == L'+') return 62;
  if (c == L'/') return 63;
  return -1;
}

bool IsWhiteSpace(wchar_t c) {
  return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n' || c == L'\v' || c == L'\f';
}

}  // namespace

bool DecodeBase64(const std::wstring& text, std::string& bytes) {
  bytes.clear();
  unsigned group = 0;  // sextets collected in the current group of four
  uint32_t bits = 0;
  unsigned padding = 0;
  for (wchar_t c : text) {
    if (IsWhiteSpace(c)) continue;
    if (c == L'=') {
      // Padding only fills the last one or two places of the final group.
      if (group < 2 || group + padding >= 4) return bytes.clear(), false;
      ++padding;
      continue;
    }
    const int sextet = SextetOf(c);
    if (sextet < 0 || padding != 0) return bytes.clear(), false;
    bits = (bits << 6) | static_cast<uint32_t>(sextet);
    if (++group == 4) {
      bytes.push_back(static_cast<char>((bits >> 16) & 0xFF));
      bytes.push_back(static_cast<char>((bits >> 8) & 0xFF));
      bytes.push_back(static_cast<char>(bits & 0xFF));
      group = 0;
      bits = 0;
    }
  }
  if (group == 0) return true;
  // A last group of two or three sextets may come without its padding.
  if (group == 1 || (padding != 0 && group + padding != 4)) return bytes.clear(), false;
  if (group == 2) {
    bytes.push_back(static_cast<char>((bits >> 4) & 0xFF));
  } else {
    bytes.push_back(static_cast<char>((bits >> 10) & 0xFF));
    bytes.push_back(static_cast<char>((bits >> 2) & 0xFF));
  }
  return true;
}

std::string EncodeBase64(const std::string& bytes) {
  static const char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  size_t at = 0;
  for (; at + 3 <= bytes.size(); at += 3) {
    const uint32_t bits = (static_cast<uint8_t>(bytes[at]) << 16) |
                          (static_cast<uint8_t>(bytes[at + 1]) << 8) |
                          static_cast<uint8_t>(bytes[at + 2]);
    out += kAlphabet[(bits >> 18) & 63];
    out += kAlphabet[(bits >> 12) & 63];
    out += kAlphabet[(bits >> 6) & 63];
    out += kAlphabet[bits & 63];
  }
  const size_t left = bytes.size() - at;
  if (left != 0) {
    uint32_t bits = static_cast<uint8_t>(bytes[at]) << 16;
    if (left == 2) bits |= static_cast<uint8_t>(bytes[at + 1]) << 8;
    out += kAlphabet[(bits >> 18) & 63];
    out += kAlphabet[(bits >> 12) & 63];
    out += left == 2 ? kAlphabet[(bits >> 6) & 63] : '=';
    out += '=';
  }
  return out;
}

}  // namespace lum
