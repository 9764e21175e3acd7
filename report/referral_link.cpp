#include "report/referral_link.h"

#include <sodium.h>

#include <vector>

#include "base/base64.h"
#include "base/text.h"
#include "report/report_envelope.h"

namespace lum {

std::wstring BuildReferralLink(const std::wstring& base, const std::wstring& key,
                               const std::wstring& mid, const std::wstring& channel) {
  if (base.empty() || key.empty() || mid.empty() || channel.empty() || sodium_init() < 0)
    return std::wstring();
  std::string publicKey;
  if (!DecodeBase64(key, publicKey) || publicKey.size() != crypto_box_PUBLICKEYBYTES)
    return std::wstring();
  const std::string query = WideToUtf8(L"mid=" + mid + L"&ch=" + channel);
  std::vector<unsigned char> sealed(query.size() + crypto_box_SEALBYTES);
  if (crypto_box_seal(sealed.data(), reinterpret_cast<const unsigned char*>(query.data()),
                      query.size(), reinterpret_cast<const unsigned char*>(publicKey.data())) != 0)
    return std::wstring();
  const std::string text = EncodeBase64(std::string(sealed.begin(), sealed.end()));
  return base + L"?" + Utf8ToWide(UrlEncodeReport(text));
}

}  // namespace lum
