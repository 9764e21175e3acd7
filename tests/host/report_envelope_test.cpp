// The sealed report value against its other side: every envelope the sealer
// makes opens with the service's secret key and gives the clear text back,
// and no byte of it can change unnoticed.
#include <gtest/gtest.h>
#include <sodium.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include "base/base64.h"
#include "base/text.h"
#include "report/referral_link.h"
#include "report/report_envelope.h"
#include "tools/envelope_open.h"

namespace lum {
namespace {

bool SodiumRandom(uint8_t* out, size_t size) {
  randombytes_buf(out, size);
  return true;
}

class ReportEnvelopeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_GE(sodium_init(), 0);
    randombytes_buf(secret_, sizeof(secret_));
    crypto_scalarmult_base(key_.servicePublic, secret_);
    randombytes_buf(key_.nonce, sizeof(key_.nonce));
  }
  std::string Envelope(const std::string& sealed) {
    std::string bytes;
    EXPECT_TRUE(DecodeBase64(Utf8ToWide(UrlDecodeReport(sealed)), bytes));
    return bytes;
  }
  uint8_t secret_[32];
  SealKey key_;
};

TEST_F(ReportEnvelopeTest, SealedTextOpensAndCarriesTheSequence) {
  const std::wstring text = L"mid=0123&ver=10.0.0.1&lan=en&os=6.1-x64&ch=101&sch=0&env=install";
  const std::string first = Envelope(SealReport(text, key_, SodiumRandom));
  const std::string second = Envelope(SealReport(text, key_, SodiumRandom));
  OpenedEnvelope a, b;
  std::string why;
  ASSERT_TRUE(OpenEnvelope(first, secret_, key_.nonce, -1, &a, &why)) << why;
  ASSERT_TRUE(OpenEnvelope(second, secret_, key_.nonce, -1, &b, &why)) << why;
  EXPECT_EQ(WideToUtf8(text), a.clear);
  EXPECT_EQ(WideToUtf8(text), b.clear);
  EXPECT_EQ(1, a.sequence);  // the process-wide counter starts here
  EXPECT_EQ(2, b.sequence);
  EXPECT_NE(first.substr(14, 64), second.substr(14, 64));  // fresh keys each time
  EXPECT_NE(first.substr(78), second.substr(78));

  // The wrong secret, or the wrong nonce, opens nothing.
  uint8_t other[32];
  randombytes_buf(other, sizeof(other));
  EXPECT_FALSE(OpenEnvelope(first, other, key_.nonce, -1, nullptr, nullptr));
  uint8_t nonce[24];
  memcpy(nonce, key_.nonce, 24);
  nonce[0] ^= 1;
  EXPECT_FALSE(OpenEnvelope(first, secret_, nonce, -1, nullptr, nullptr));
}

TEST_F(ReportEnvelopeTest, KnownSizesCrcAndEncoding) {
  EXPECT_EQ(0x352441C2u, ReportCrc32("abc"));
  const std::string clear(16, 'x');
  const std::string envelope = BuildEnvelope(clear, key_, 7, SodiumRandom);
  ASSERT_EQ(110u, envelope.size());  // 14 + 64 + a whole padding block
  EXPECT_EQ(14, envelope[0]);
  EXPECT_EQ(6, envelope[1]);
  EXPECT_EQ("40", envelope.substr(2, 2));
  EXPECT_EQ(1, envelope[4]);
  EXPECT_EQ(8, envelope[5]);
  const uint32_t crc = ReportCrc32(clear);
  EXPECT_EQ(static_cast<char>(crc >> 24), envelope[6]);
  EXPECT_EQ(static_cast<char>(crc & 0xFF), envelope[9]);
  EXPECT_EQ(0, envelope[10]);
  EXPECT_EQ(7, envelope[11]);
  EXPECT_EQ(94u, BuildEnvelope("0123456789abcde", key_, 1, SodiumRandom).size());

  EXPECT_EQ("a+b%2B%2F%3D%26Z9", UrlEncodeReport("a b+/=&Z9"));
  EXPECT_EQ("YWJj", EncodeBase64("abc"));
  EXPECT_EQ("YWI=", EncodeBase64("ab"));
  EXPECT_EQ("YQ==", EncodeBase64("a"));
  EXPECT_EQ("+/8=", EncodeBase64("\xfb\xff"));
  EXPECT_EQ("", SealReport(L"", key_, SodiumRandom));
  EXPECT_EQ("", SealReport(L"mid=1", key_, [](uint8_t*, size_t) { return false; }));
}

TEST_F(ReportEnvelopeTest, EveryFlippedByteIsRefused) {
  const std::string envelope = BuildEnvelope("mid=abc&ch=101&timestamp=1796784664", key_, 3,
                                             SodiumRandom);
  ASSERT_TRUE(OpenEnvelope(envelope, secret_, key_.nonce, 3, nullptr, nullptr));
  for (size_t at = 0; at < envelope.size(); ++at) {
    for (uint8_t bit : {0x01, 0x80}) {
      std::string damaged = envelope;
      damaged[at] = static_cast<char>(damaged[at] ^ bit);
      std::string why;
      EXPECT_FALSE(OpenEnvelope(damaged, secret_, key_.nonce, 3, nullptr, &why))
          << "byte " << at << " bit " << int(bit);
    }
  }
  EXPECT_FALSE(OpenEnvelope(envelope.substr(0, envelope.size() - 16), secret_, key_.nonce, 3,
                            nullptr, nullptr));
  EXPECT_FALSE(OpenEnvelope(envelope + std::string(16, '\0'), secret_, key_.nonce, 3, nullptr,
                            nullptr));
}

#ifdef LUM_TOOLS_DIR
TEST_F(ReportEnvelopeTest, HostToolOpensWhatTheInstallerSeals) {
  const std::string dir = ::testing::TempDir();
  const std::string keys = dir + "/report-test.keys";
  const std::string header = dir + "/report-test-keys.h";
  std::remove(keys.c_str());
  const std::string tool = std::string(LUM_TOOLS_DIR) + "/report_open";
  ASSERT_EQ(0, std::system((tool + " keygen " + keys + " " + header).c_str()));
  // The key file is kept: a second keygen leaves the same key.
  std::ifstream before(keys);
  const std::string kept((std::istreambuf_iterator<char>(before)), std::istreambuf_iterator<char>());
  ASSERT_EQ(0, std::system((tool + " keygen " + keys + " " + header).c_str()));
  std::ifstream after(keys);
  EXPECT_EQ(kept, std::string((std::istreambuf_iterator<char>(after)), std::istreambuf_iterator<char>()));

  SealKey key;
  std::string pub, nonce;
  std::istringstream lines(kept);
  for (std::string line; std::getline(lines, line);) {
    auto unhex = [](const std::string& hex) {
      std::string out;
      for (size_t i = 0; i + 1 < hex.size(); i += 2)
        out += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
      return out;
    };
    if (line.rfind("service_public=", 0) == 0) pub = unhex(line.substr(15));
    if (line.rfind("nonce=", 0) == 0) nonce = unhex(line.substr(6));
  }
  ASSERT_EQ(32u, pub.size());
  ASSERT_EQ(24u, nonce.size());
  memcpy(key.servicePublic, pub.data(), 32);
  memcpy(key.nonce, nonce.data(), 24);
  const std::string sealed = SealReport(L"mid=f00d&ch=101&sch=0", key, SodiumRandom);
  const std::string out = dir + "/report-test.out";
  ASSERT_EQ(0, std::system((tool + " open " + keys + " '" + sealed + "' > " + out).c_str()));
  std::ifstream opened(out);
  std::string sequenceLine, clear;
  std::getline(opened, sequenceLine);
  std::getline(opened, clear);
  EXPECT_EQ(0u, sequenceLine.rfind("sequence=", 0));
  EXPECT_EQ("mid=f00d&ch=101&sch=0", clear);
  std::string damaged = sealed;
  damaged[20] = damaged[20] == 'A' ? 'B' : 'A';
  EXPECT_NE(0, std::system((tool + " open " + keys + " '" + damaged + "' 2>/dev/null >/dev/null").c_str()));

  // The referral link's query opens with the same tool and key.
  const std::wstring link = BuildReferralLink(L"http://127.0.0.1:18611/ref", Utf8ToWide(EncodeBase64(pub)),
                                              L"f00d", L"101");
  ASSERT_EQ(0u, link.rfind(L"http://127.0.0.1:18611/ref?", 0));
  const std::string query = WideToUtf8(link.substr(link.find(L'?') + 1));
  ASSERT_EQ(0, std::system((tool + " open-link " + keys + " '" + query + "' > " + out).c_str()));
  std::ifstream linkText(out);
  std::string linkClear;
  std::getline(linkText, linkClear);
  EXPECT_EQ("mid=f00d&ch=101", linkClear);
  EXPECT_EQ(L"", BuildReferralLink(L"http://x/ref", L"not a key", L"f00d", L"101"));
  EXPECT_EQ(L"", BuildReferralLink(L"http://x/ref", Utf8ToWide(EncodeBase64(pub)), L"", L"101"));
}
#endif

// A known answer from outside the project: the expected bytes were computed
// with Debian's python3-nacl (crypto_scalarmult_base, crypto_box_beforenm,
// crypto_secretbox, which drops the box's 16 leading zero bytes as the
// envelope does), python3-cryptography (AES-128-ECB over PKCS#7 padding) and
// zlib.crc32, from the same inputs: AES key 00..0f (the first draw),
// ephemeral secret 20..3f (the second), service secret 32 bytes of 0x77,
// nonce 40..57, sequence 1.
TEST(ReportEnvelopeKnownAnswer, MatchesAnIndependentSealOfTheSameInputs) {
  ASSERT_GE(sodium_init(), 0);
  SealKey key;
  uint8_t serviceSecret[32];
  for (uint8_t& b : serviceSecret) b = 0x77;
  crypto_scalarmult_base(key.servicePublic, serviceSecret);
  for (int i = 0; i < 24; ++i) key.nonce[i] = static_cast<uint8_t>(0x40 + i);
  int draw = 0;
  const RandomSource counting = [&draw](uint8_t* out, size_t size) {
    const uint8_t first = draw++ == 0 ? 0x00 : 0x20;
    for (size_t i = 0; i < size; ++i) out[i] = static_cast<uint8_t>(first + i);
    return true;
  };
  const std::string envelope = BuildEnvelope("mid=f00d&ch=101&sch=0", key, 1, counting);
  static const char kHex[] = "0123456789abcdef";
  std::string hex;
  for (unsigned char c : envelope) {
    hex += kHex[c >> 4];
    hex += kHex[c & 15];
  }
  EXPECT_EQ(
      "0e0634300108e6ce3d7f000100003669f8befd3f3986e21193f8a9aac12d8d8f14dfa00e23988eb6b96333"
      "4e6f21358072d6365880d1aeea329adf9121383851ed21a28e3b75e965d0d2cd1662548073bba09f0946db"
      "5e9ef3f430146e75764a72b244d6b54525f28b373a670dae",
      hex);
}

}  // namespace
}  // namespace lum
