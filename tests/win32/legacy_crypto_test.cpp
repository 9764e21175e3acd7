// Windows XP has no CNG library: there the digests and the cipher come from
// CryptoAPI instead. Both ways must give the same bytes, padding included, on
// inputs empty, odd-sized, of whole blocks and large.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "base/aes_ecb.h"
#include "base/crypto_win.h"
#include "base/md5.h"
#include "base/sha1.h"

namespace lum {
namespace {

TEST(LegacyCryptoTest, CryptoApiGivesTheBytesOfTheNewerLibrary) {
  const std::string inputs[] = {"", "abc", std::string(16, 'x'), std::string(47, 'y'),
                                std::string(1000000, 'a')};
  const uint8_t key[16] = {0x2b, 0x7e, 0x15, 0x16, 0x28, 0xae, 0xd2, 0xa6,
                           0xab, 0xf7, 0x15, 0x88, 0x09, 0xcf, 0x4f, 0x3c};
  for (const std::string& input : inputs) {
    const void* data = input.empty() ? nullptr : input.data();
    uint8_t md5[16], oldMd5[16], sha1[20], oldSha1[20];
    ASSERT_TRUE(Md5(data, input.size(), md5));
    ASSERT_TRUE(legacy_crypto::Md5(data, input.size(), oldMd5)) << input.size() << " bytes";
    EXPECT_EQ(std::string(md5, md5 + 16), std::string(oldMd5, oldMd5 + 16)) << input.size();
    ASSERT_TRUE(Sha1(data, input.size(), sha1));
    ASSERT_TRUE(legacy_crypto::Sha1(data, input.size(), oldSha1)) << input.size() << " bytes";
    EXPECT_EQ(std::string(sha1, sha1 + 20), std::string(oldSha1, oldSha1 + 20)) << input.size();
    std::string cipher, oldCipher;
    ASSERT_TRUE(Aes128EcbEncrypt(key, input, &cipher));
    ASSERT_TRUE(legacy_crypto::Aes128EcbEncrypt(key, input, &oldCipher)) << input.size();
    EXPECT_EQ(cipher, oldCipher) << input.size() << " bytes";
  }
}

}  // namespace
}  // namespace lum
