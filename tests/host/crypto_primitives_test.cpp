// Built by both the host build (OpenSSL) and the Windows tests (the system's
// CNG under Wine): the same published vectors hold for both.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "base/aes_ecb.h"
#include "base/md5.h"
#include "base/sha1.h"

namespace lum {
namespace {

std::string Hex(const void* data, size_t size) {
  static const char kHex[] = "0123456789abcdef";
  std::string out;
  for (size_t i = 0; i < size; ++i) {
    const uint8_t b = static_cast<const uint8_t*>(data)[i];
    out += kHex[b >> 4];
    out += kHex[b & 15];
  }
  return out;
}

std::string Bytes(const std::string& hex) {
  std::string out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2)
    out += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  return out;
}

TEST(CryptoPrimitivesTest, DigestsMatchPublishedVectorsIncludingEmptyAndLargeInputs) {
  struct Vector {
    std::string input;
    const char* md5;
    const char* sha1;
  };
  const Vector vectors[] = {
      {"", "d41d8cd98f00b204e9800998ecf8427e", "da39a3ee5e6b4b0d3255bfef95601890afd80709"},
      {"abc", "900150983cd24fb0d6963f7d28e17f72", "a9993e364706816aba3e25717850c26c9cd0d89d"},
      {std::string(1000000, 'a'), "7707d6ae4e027c70eea2a935c2296f21",
       "34aa973cd4c4daa4f61eeb2bdbad27316534016f"},
  };
  for (const Vector& v : vectors) {
    // Nothing to digest may come as a null pointer.
    const void* data = v.input.empty() ? nullptr : v.input.data();
    uint8_t md5[16];
    uint8_t sha1[20];
    ASSERT_TRUE(Md5(data, v.input.size(), md5));
    ASSERT_TRUE(Sha1(data, v.input.size(), sha1));
    EXPECT_EQ(v.md5, Hex(md5, 16)) << v.input.size() << " bytes";
    EXPECT_EQ(v.sha1, Hex(sha1, 20)) << v.input.size() << " bytes";
  }
}

TEST(CryptoPrimitivesTest, AesEcbEncryptsEachBlockAloneAndPadsWithPkcs7) {
  const std::string key = Bytes("2b7e151628aed2a6abf7158809cf4f3c");
  const uint8_t* k = reinterpret_cast<const uint8_t*>(key.data());
  const std::string blocks = Bytes("6bc1bee22e409f96e93d7e117393172a"
                                   "ae2d8a571e03ac9c9eb76fac45af8e51");
  std::string out;
  ASSERT_TRUE(Aes128EcbEncrypt(k, blocks, &out));
  ASSERT_EQ(48u, out.size());  // an exact multiple gets a whole block of padding
  EXPECT_EQ("3ad77bb40d7a3660a89ecaf32466ef97f5d3d58503b9699de785895a96fdbaaf",
            Hex(out.data(), 32));
  const std::string padBlock = out.substr(32);

  // The padding of nothing is that same block; identical blocks encrypt alike.
  std::string empty;
  ASSERT_TRUE(Aes128EcbEncrypt(k, std::string(), &empty));
  EXPECT_EQ(padBlock, empty);
  ASSERT_TRUE(Aes128EcbEncrypt(k, blocks.substr(0, 16) + blocks.substr(0, 16), &out));
  EXPECT_EQ(out.substr(0, 16), out.substr(16, 16));

  // Five bytes are padded with eleven 0x0b, as if they had been given.
  std::string shortText, spelledOut;
  ASSERT_TRUE(Aes128EcbEncrypt(k, "hello", &shortText));
  ASSERT_TRUE(Aes128EcbEncrypt(k, "hello" + std::string(11, '\x0b'), &spelledOut));
  ASSERT_EQ(16u, shortText.size());
  EXPECT_EQ(spelledOut.substr(0, 16), shortText);
}

}  // namespace
}  // namespace lum
