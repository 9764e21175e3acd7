#include "vendor/image_signature.h"

#include <gtest/gtest.h>
#include <sodium.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "vendor/trust_kind.h"

namespace lum {
namespace {

struct KeyPair {
  uint8_t pk[kImagePublicKeyBytes];
  uint8_t sk[kImageSecretKeyBytes];
  KeyPair() { crypto_sign_keypair(pk, sk); }
};

std::vector<uint8_t> Content(size_t size) {
  std::vector<uint8_t> bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(i * 131 + 7);
  return bytes;
}

ImageTrust Verify(const KeyPair& key, const std::vector<uint8_t>& image) {
  MemoryImageReader reader(image.data(), image.size());
  return VerifyImage(key.pk, reader);
}

class ImageSignatureTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_GE(sodium_init(), 0); }
  KeyPair key_;
};

TEST_F(ImageSignatureTest, SignedImageKeepsContentAndVerifies) {
  // Larger than one read chunk, so the streaming hash crosses chunk borders.
  const std::vector<uint8_t> content = Content(150000);
  std::vector<uint8_t> image = content;
  ASSERT_TRUE(SignImageBytes(key_.sk, &image));
  ASSERT_EQ(image.size(), content.size() + kImageTrailerBytes);
  EXPECT_TRUE(std::equal(content.begin(), content.end(), image.begin()));
  EXPECT_EQ(0, memcmp(image.data() + image.size() - 8, "LUMSIG1\0", 8));
  uint8_t keyId[kImageKeyIdBytes];
  ImageKeyId(key_.pk, keyId);
  EXPECT_EQ(0, memcmp(image.data() + content.size() + 64, keyId, sizeof keyId));
  EXPECT_EQ(ImageTrust::kTrusted, Verify(key_, image));
}

TEST_F(ImageSignatureTest, EmptyFileSignsAndVerifies) {
  std::vector<uint8_t> image;
  ASSERT_TRUE(SignImageBytes(key_.sk, &image));
  EXPECT_EQ(kImageTrailerBytes, image.size());
  EXPECT_EQ(ImageTrust::kTrusted, Verify(key_, image));
  EXPECT_EQ(ImageTrust::kUnsigned, Verify(key_, std::vector<uint8_t>()));
}

TEST_F(ImageSignatureTest, AnyChangedByteIsRefused) {
  std::vector<uint8_t> image = Content(3000);
  ASSERT_TRUE(SignImageBytes(key_.sk, &image));
  const size_t content = image.size() - kImageTrailerBytes;
  // First, middle and last content byte, a signature byte and a key id byte.
  for (size_t at : {size_t{0}, content / 2, content - 1, content + 10, content + 66}) {
    std::vector<uint8_t> altered = image;
    altered[at] ^= 0x01;
    EXPECT_NE(ImageTrust::kTrusted, Verify(key_, altered)) << "byte " << at;
  }
  std::vector<uint8_t> badMagic = image;
  badMagic[image.size() - 2] ^= 0x20;
  EXPECT_EQ(ImageTrust::kUnsigned, Verify(key_, badMagic));
}

TEST_F(ImageSignatureTest, TruncatedOrUnsignedIsRefused) {
  const std::vector<uint8_t> content = Content(5000);
  std::vector<uint8_t> image = content;
  ASSERT_TRUE(SignImageBytes(key_.sk, &image));
  EXPECT_EQ(ImageTrust::kUnsigned, Verify(key_, content));
  std::vector<uint8_t> cutTrailer(image.begin(), image.end() - 1);
  EXPECT_EQ(ImageTrust::kUnsigned, Verify(key_, cutTrailer));
  // Content cut while the trailer stays: the signature no longer matches.
  std::vector<uint8_t> cutContent(image.begin() + 1, image.end());
  EXPECT_EQ(ImageTrust::kBadSignature, Verify(key_, cutContent));
  std::vector<uint8_t> tiny(image.end() - 10, image.end());
  EXPECT_EQ(ImageTrust::kUnsigned, Verify(key_, tiny));
}

TEST_F(ImageSignatureTest, AnotherKeyIsRefused) {
  KeyPair other;
  std::vector<uint8_t> image = Content(700);
  ASSERT_TRUE(SignImageBytes(other.sk, &image));
  EXPECT_EQ(ImageTrust::kOtherKey, Verify(key_, image));
  // A forged key id in front of a foreign signature is caught by the signature.
  uint8_t keyId[kImageKeyIdBytes];
  ImageKeyId(key_.pk, keyId);
  memcpy(image.data() + image.size() - 16, keyId, sizeof keyId);
  EXPECT_EQ(ImageTrust::kBadSignature, Verify(key_, image));
}

TEST_F(ImageSignatureTest, ResigningReplacesTheTrailer) {
  std::vector<uint8_t> once = Content(1234);
  ASSERT_TRUE(SignImageBytes(key_.sk, &once));
  std::vector<uint8_t> twice = once;
  ASSERT_TRUE(SignImageBytes(key_.sk, &twice));
  EXPECT_EQ(once, twice);  // Ed25519 signatures are deterministic
  KeyPair other;
  std::vector<uint8_t> moved = once;
  ASSERT_TRUE(SignImageBytes(other.sk, &moved));
  EXPECT_EQ(once.size(), moved.size());
  EXPECT_EQ(ImageTrust::kTrusted, Verify(other, moved));
  EXPECT_EQ(ImageTrust::kOtherKey, Verify(key_, moved));
}

TEST_F(ImageSignatureTest, FileSigningInPlaceMatchesMemorySigning) {
  const std::string path = ::testing::TempDir() + "image_signature_test.bin";
  std::vector<uint8_t> expected = Content(70000);
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(expected.data()), expected.size());
  }
  ASSERT_TRUE(SignImageFile(key_.sk, path));
  ASSERT_TRUE(SignImageFile(key_.sk, path));
  ASSERT_TRUE(SignImageBytes(key_.sk, &expected));
  std::ifstream in(path, std::ios::binary);
  const std::vector<uint8_t> onDisk{std::istreambuf_iterator<char>(in),
                                    std::istreambuf_iterator<char>()};
  EXPECT_EQ(expected, onDisk);
  EXPECT_EQ(ImageTrust::kTrusted, VerifyImageFile(key_.pk, path));
  EXPECT_EQ(ImageTrust::kReadError, VerifyImageFile(key_.pk, path + ".missing"));
  EXPECT_FALSE(SignImageFile(key_.sk, path + ".missing"));
  std::remove(path.c_str());
}

TEST(TrustKindTest, PropertyRuleOrder) {
  EXPECT_EQ(1, TrustKindFromProperties(0, 0x2000, 0));
  EXPECT_EQ(1, TrustKindFromProperties(0x300, 0x3000, 0x30000));  // property 4 wins
  EXPECT_EQ(4, TrustKindFromProperties(0x300, 0x1000, 0x30000));  // then property 5
  EXPECT_EQ(3, TrustKindFromProperties(0x300, 0x4000, 0x20000));  // then property 3
  // Only the named nibbles count.
  EXPECT_EQ(-1, TrustKindFromProperties(0x30, 0x200, 0x3000));
  EXPECT_EQ(-1, TrustKindFromProperties(0x3000, 0x20000, 0x300000));
  EXPECT_EQ(-1, TrustKindFromProperties(0, 0, 0));
}

#ifdef LUM_TOOLS_DIR
// The build relies on keygen keeping its key, so the pinned key in the base
// module matches the signatures of every later build in the same folder.
TEST(LumSignToolTest, KeygenKeepsKeyAndVerifyUsesHeader) {
  const std::string tool = std::string(LUM_TOOLS_DIR) + "/lum_sign";
  if (!std::ifstream(tool)) GTEST_SKIP() << "lum_sign not built";
  const std::string dir = ::testing::TempDir() + "lum_sign_test";
  const std::string key = dir + "/k.key", header = dir + "/key.h", file = dir + "/f.bin";
  ASSERT_EQ(0, std::system(("rm -rf '" + dir + "'").c_str()));
  ASSERT_EQ(0, std::system((tool + " keygen '" + key + "' '" + header + "' >/dev/null").c_str()));
  std::ifstream first(header);
  const std::string headerText{std::istreambuf_iterator<char>(first),
                               std::istreambuf_iterator<char>()};
  ASSERT_EQ(0, std::system((tool + " keygen '" + key + "' '" + header + "' >/dev/null").c_str()));
  std::ifstream second(header);
  EXPECT_EQ(headerText,
            std::string(std::istreambuf_iterator<char>(second), std::istreambuf_iterator<char>()));
  std::ofstream(file) << "payload";
  const std::string verify = tool + " verify '" + header + "' '" + file + "' >/dev/null";
  EXPECT_EQ(1, WEXITSTATUS(std::system(verify.c_str())));
  ASSERT_EQ(0, std::system((tool + " sign '" + key + "' '" + file + "'").c_str()));
  EXPECT_EQ(0, WEXITSTATUS(std::system(verify.c_str())));
  std::system(("rm -rf '" + dir + "'").c_str());
}
#endif

}  // namespace
}  // namespace lum
