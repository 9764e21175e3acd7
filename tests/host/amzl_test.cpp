#include "payload/amzl.h"

#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

namespace lum {
namespace {

std::vector<uint8_t> SampleData(size_t size, unsigned seed = 7) {
  // Text-like with repeats so the encoder emits matches as well as literals.
  std::mt19937 rng(seed);
  std::vector<uint8_t> data(size);
  for (size_t i = 0; i < size; ++i) {
    data[i] = (i >= 64 && rng() % 3 != 0) ? data[i - 64 + rng() % 8] : 'a' + rng() % 26;
  }
  return data;
}

std::vector<uint8_t> Pack(const std::vector<uint8_t>& data) {
  std::vector<uint8_t> container;
  EXPECT_TRUE(BuildContainer(data.data(), data.size(), container));
  return container;
}

uint32_t Le32(const std::vector<uint8_t>& c, size_t at) {
  return c[at] | c[at + 1] << 8 | c[at + 2] << 16 | static_cast<uint32_t>(c[at + 3]) << 24;
}
void SetLe32(std::vector<uint8_t>& c, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) c[at + i] = static_cast<uint8_t>(v >> (8 * i));
}
void SetMd5(std::vector<uint8_t>& c, const uint8_t* data, size_t size) {
  unsigned int length = 0;
  ASSERT_EQ(1, EVP_Digest(data, size, &c[16], &length, EVP_md5(), nullptr));
}

int Decode(const std::vector<uint8_t>& c) {
  std::vector<uint8_t> out;
  return DecodeContainer(c.data(), c.size(), out);
}

TEST(AmzlTest, RoundTripKeepsBytesAndWritesVersionOneHeader) {
  for (size_t size : {size_t{1}, size_t{4095}, size_t{70000}}) {
    const std::vector<uint8_t> data = SampleData(size);
    const std::vector<uint8_t> c = Pack(data);
    ASSERT_GE(c.size(), kContainerHeaderSize + 5);
    EXPECT_EQ(0, std::memcmp(c.data(), "amzl", 4));
    EXPECT_EQ(1u, Le32(c, 4));
    EXPECT_EQ(size, Le32(c, 8));
    EXPECT_EQ(c.size() - kContainerHeaderSize, Le32(c, 12));
    EXPECT_EQ(kContainerOk, CheckContainer(c.data(), c.size()));
    std::vector<uint8_t> out;
    ASSERT_EQ(kContainerOk, DecodeContainer(c.data(), c.size(), out)) << size;
    EXPECT_EQ(data, out);
  }
}

TEST(AmzlTest, BuildRefusesEmptyInput) {
  std::vector<uint8_t> out{1, 2};
  const uint8_t byte = 0;
  EXPECT_FALSE(BuildContainer(&byte, 0, out));
  EXPECT_TRUE(out.empty());
}

TEST(AmzlTest, HeaderChecks) {
  std::vector<uint8_t> c = Pack(SampleData(500));
  std::vector<uint8_t> shortOne(c.begin(), c.begin() + 31);  // magic, one byte short
  EXPECT_EQ(kContainerBadHeader, CheckContainer(shortOne.data(), shortOne.size()));
  EXPECT_EQ(kContainerBadHeader, Decode(shortOne));
  EXPECT_EQ(kContainerBadHeader, CheckContainer(nullptr, 100));

  std::vector<uint8_t> wrongMagic = c;
  wrongMagic[3] = 'L';
  EXPECT_EQ(kContainerBadHeader, Decode(wrongMagic));

  std::vector<uint8_t> v2 = c;
  SetLe32(v2, 4, 2);
  EXPECT_EQ(kContainerBadVersion, CheckContainer(v2.data(), v2.size()));
  EXPECT_EQ(kContainerBadVersion, Decode(v2));
  std::vector<uint8_t> v0 = c;
  SetLe32(v0, 4, 0);
  EXPECT_EQ(kContainerOk, Decode(v0));
}

TEST(AmzlTest, SizeMismatchAndMissingInput) {
  std::vector<uint8_t> c = Pack(SampleData(500));
  const uint32_t packed = Le32(c, 12);
  for (uint32_t wrong : {packed - 1, packed + 1, 0xFFFFFFFFu - 31}) {
    std::vector<uint8_t> bad = c;
    SetLe32(bad, 12, wrong);
    EXPECT_EQ(kContainerBadSize, Decode(bad)) << wrong;
  }
  std::vector<uint8_t> out;
  EXPECT_EQ(kContainerNoBuffer, DecodeContainer(nullptr, c.size(), out));
  std::vector<uint8_t> empty = c;
  SetLe32(empty, 8, 0);
  EXPECT_EQ(kContainerNoBuffer, Decode(empty));
}

TEST(AmzlTest, PackedSizeTooSmallForPropertiesIsRefusedWithoutReadingPastData) {
  for (uint32_t packed = 0; packed < 5; ++packed) {
    std::vector<uint8_t> c = Pack(SampleData(100));
    c.resize(kContainerHeaderSize + packed);
    c.shrink_to_fit();  // lets AddressSanitizer see a read past the end
    SetLe32(c, 12, packed);
    EXPECT_EQ(kContainerDecodeFailed, Decode(c)) << packed;
  }
}

TEST(AmzlTest, CorruptStreamsFailToDecode) {
  const std::vector<uint8_t> data = SampleData(20000);
  const std::vector<uint8_t> c = Pack(data);

  std::vector<uint8_t> truncated(c.begin(), c.begin() + c.size() / 2);
  SetLe32(truncated, 12, static_cast<uint32_t>(truncated.size() - kContainerHeaderSize));
  EXPECT_EQ(kContainerDecodeFailed, Decode(truncated));

  std::vector<uint8_t> badProps = c;
  badProps[32] = 225;
  EXPECT_EQ(kContainerDecodeFailed, Decode(badProps));

  std::vector<uint8_t> flippedDigest = c;
  flippedDigest[20] ^= 0x10;
  EXPECT_EQ(kContainerBadDigest, Decode(flippedDigest));

  // The stream ends (end marker) before the header's size is reached.
  std::vector<uint8_t> longer = c;
  SetLe32(longer, 8, static_cast<uint32_t>(data.size() + 1));
  EXPECT_EQ(kContainerShortOutput, Decode(longer));
}

TEST(AmzlTest, DecodingStopsAtTheOutputSizeWithoutEndMarker) {
  const std::vector<uint8_t> data = SampleData(3000);
  std::vector<uint8_t> c = Pack(data);
  SetLe32(c, 8, 2000);
  SetMd5(c, data.data(), 2000);
  std::vector<uint8_t> out;
  ASSERT_EQ(kContainerOk, DecodeContainer(c.data(), c.size(), out));
  EXPECT_EQ(std::vector<uint8_t>(data.begin(), data.begin() + 2000), out);
}

TEST(AmzlTest, DictionarySizeFieldDoesNotDecideMemory) {
  const std::vector<uint8_t> data = SampleData(3000);
  for (uint32_t dict : {0u, 1u, 0xFFFFFFFFu}) {
    std::vector<uint8_t> c = Pack(data);
    SetLe32(c, 33, dict);  // after the lc/lp/pb byte
    std::vector<uint8_t> out;
    EXPECT_EQ(kContainerOk, DecodeContainer(c.data(), c.size(), out)) << dict;
    EXPECT_EQ(data, out);
  }
}

#ifdef LUM_TOOLS_DIR
std::vector<uint8_t> ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

TEST(AmzlPackToolTest, PacksFileThatDecodesToTheInput) {
  const std::string dir = testing::TempDir();
  const std::string input = dir + "amzl_pack_in.bin";
  const std::string output = dir + "amzl_pack_out.amzl";
  const std::vector<uint8_t> data = SampleData(50000);
  std::ofstream(input, std::ios::binary)
      .write(reinterpret_cast<const char*>(data.data()), data.size());
  std::remove(output.c_str());
  const std::string tool = std::string(LUM_TOOLS_DIR) + "/amzl_pack";
  ASSERT_EQ(0, std::system((tool + " " + input + " " + output + " >/dev/null").c_str()));
  const std::vector<uint8_t> c = ReadAll(output);
  std::vector<uint8_t> out;
  ASSERT_EQ(kContainerOk, DecodeContainer(c.data(), c.size(), out));
  EXPECT_EQ(data, out);

  EXPECT_NE(0, std::system((tool + " " + dir + "missing_in " + output + " 2>/dev/null").c_str()));
  EXPECT_NE(0, std::system((tool + " " + input + " 2>/dev/null").c_str()));
}
#endif

}  // namespace
}  // namespace lum
