#include "report/report_config_win.h"

#include <windows.h>
// wincrypt.h builds on windows.h.
#include <wincrypt.h>

#include <mutex>

#include "base/install_log.h"
#include "lum_report_endpoints.h"
#include "lum_report_keys.h"
#include "session/session_settings.h"
#include "system/file_ops_win.h"
#include "system/product_location_win.h"
#include "system/win_handle_win.h"

namespace lum {
namespace {

constexpr UINT kUrlSettingsStatsBase = 1001;

std::wstring ReadStatsBase() {
  const std::wstring folder = ReadProductFolder();
  if (!folder.empty()) {
    const std::wstring file =
        WithTrailingSlash(folder) + L"i18n\\" + LanguageCode() + L"\\UrlSettings.dll.locale";
    const std::wstring base = StatsBaseFromUrlSettings(file);
    if (!base.empty()) {
      log::Note("report", L"statistics base from " + file + L": " + base);
      return base;
    }
  }
  return kBuiltInStatsBase;
}

}  // namespace

std::wstring StatsBaseFromUrlSettings(const std::wstring& resourceFile) {
  if (::GetFileAttributesW(resourceFile.c_str()) == INVALID_FILE_ATTRIBUTES) return std::wstring();
  // Loaded as an image resource file only: nothing of it runs.
  UniqueModule module(::LoadLibraryExW(resourceFile.c_str(), nullptr,
                                       LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
  if (!module) return std::wstring();
  wchar_t text[1024] = {};
  const int length = ::LoadStringW(module.Get(), kUrlSettingsStatsBase, text, 1024);
  return length > 0 ? std::wstring(text, static_cast<size_t>(length)) : std::wstring();
}

std::wstring StatsBase() {
  // Kept for the whole process: a report thread that outlives the run may
  // still read it while the process ends.
  static std::once_flag once;
  static const std::wstring* base = nullptr;
  std::call_once(once, [] { base = new std::wstring(ReadStatsBase()); });
  return *base;
}

std::wstring ChannelHost() { return kChannelHost; }
std::wstring OfferHost() { return kOfferHost; }

const SealKey& ReportSealKey() {
  static const SealKey key = [] {
    SealKey k;
    memcpy(k.servicePublic, kReportServicePublicKey, sizeof(k.servicePublic));
    memcpy(k.nonce, kReportNonce, sizeof(k.nonce));
    k.keyId = 1;
    return k;
  }();
  return key;
}

std::string SignatureSuffix() {
  std::string suffix(sizeof(kSignatureSuffixMasked), '\0');
  for (size_t i = 0; i < suffix.size(); ++i)
    suffix[i] = static_cast<char>(kSignatureSuffixMasked[i] ^ kSignatureSuffixMask[i]);
  return suffix;
}

bool PlatformRandom(uint8_t* out, size_t size) {
  HCRYPTPROV provider = 0;
  if (!::CryptAcquireContextW(&provider, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT)) {
    if (::GetLastError() != static_cast<DWORD>(NTE_BAD_KEYSET) ||
        !::CryptAcquireContextW(&provider, nullptr, nullptr, PROV_RSA_FULL,
                                CRYPT_VERIFYCONTEXT | CRYPT_NEWKEYSET))
      return false;
  }
  const bool ok = ::CryptGenRandom(provider, static_cast<DWORD>(size), out) != FALSE;
  ::CryptReleaseContext(provider, 0);
  return ok;
}

}  // namespace lum
