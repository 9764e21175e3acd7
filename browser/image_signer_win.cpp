#include "browser/image_signer_win.h"

#include <windows.h>
// These build on windows.h.
#include <softpub.h>
#include <wincrypt.h>
#include <wintrust.h>

#include <cwchar>

#include "base/install_log.h"
#include "base/system_dll_win.h"
#include "browser/browser_names.h"

namespace lum {

namespace {

// wintrust.dll is not among the libraries Windows always takes from the
// system folder: imported statically, a copy planted beside the installer
// (a download folder) would run elevated. It is loaded by full path instead.
struct TrustFunctions {
  using VerifyFn = LONG(WINAPI*)(HWND, GUID*, void*);
  using ProvDataFn = CRYPT_PROVIDER_DATA*(WINAPI*)(HANDLE);
  using SignerFn = CRYPT_PROVIDER_SGNR*(WINAPI*)(CRYPT_PROVIDER_DATA*, DWORD, BOOL, DWORD);
  VerifyFn verify = nullptr;
  ProvDataFn provData = nullptr;
  SignerFn signer = nullptr;
  bool Ready() const { return verify && provData && signer; }
};

const TrustFunctions& Trust() {
  static const TrustFunctions functions = [] {
    TrustFunctions f;
    HMODULE module = LoadSystemDll(L"wintrust.dll");
    if (!module) {
      log::Action("browser", L"load", L"wintrust.dll", static_cast<long>(::GetLastError()));
      return f;
    }
    f.verify = reinterpret_cast<TrustFunctions::VerifyFn>(
        reinterpret_cast<void*>(::GetProcAddress(module, "WinVerifyTrust")));
    f.provData = reinterpret_cast<TrustFunctions::ProvDataFn>(
        reinterpret_cast<void*>(::GetProcAddress(module, "WTHelperProvDataFromStateData")));
    f.signer = reinterpret_cast<TrustFunctions::SignerFn>(
        reinterpret_cast<void*>(::GetProcAddress(module, "WTHelperGetProvSignerFromChain")));
    return f;
  }();
  return functions;
}

// Closes the verification state however the check ends.
class TrustState {
 public:
  explicit TrustState(const std::wstring& path) {
    file_.cbStruct = sizeof(file_);
    file_.pcwszFilePath = path.c_str();
    data_.cbStruct = sizeof(data_);
    data_.dwUIChoice = WTD_UI_NONE;
    data_.fdwRevocationChecks = WTD_REVOKE_NONE;
    data_.dwUnionChoice = WTD_CHOICE_FILE;
    data_.pFile = &file_;
    data_.dwStateAction = WTD_STATEACTION_VERIFY;
  }
  ~TrustState() {
    data_.dwStateAction = WTD_STATEACTION_CLOSE;
    if (verified_) Trust().verify(static_cast<HWND>(INVALID_HANDLE_VALUE), &action_, &data_);
  }
  TrustState(const TrustState&) = delete;
  TrustState& operator=(const TrustState&) = delete;

  // TRUST_E_PROVIDER_UNKNOWN when the system's trust library is missing.
  LONG Verify() {
    if (!Trust().Ready()) return static_cast<LONG>(TRUST_E_PROVIDER_UNKNOWN);
    verified_ = true;
    return Trust().verify(static_cast<HWND>(INVALID_HANDLE_VALUE), &action_, &data_);
  }
  HANDLE State() const { return data_.hWVTStateData; }

 private:
  GUID action_ = WINTRUST_ACTION_GENERIC_VERIFY_V2;
  WINTRUST_FILE_INFO file_ = {};
  WINTRUST_DATA data_ = {};
  bool verified_ = false;
};

}  // namespace

bool VerifiedSignerName(const std::wstring& path, std::wstring* signer) {
  TrustState trust(path);
  const LONG verdict = trust.Verify();
  if (verdict != ERROR_SUCCESS) {
    wchar_t code[16];
    swprintf(code, 16, L"0x%08lx", static_cast<unsigned long>(verdict));
    log::Note("browser", L"signature of " + path + L" does not verify (" + code + L")");
    return false;
  }
  CRYPT_PROVIDER_DATA* provider = Trust().provData(trust.State());
  if (!provider) return false;
  CRYPT_PROVIDER_SGNR* first = Trust().signer(provider, 0, FALSE, 0);
  if (!first || first->csCertChain == 0 || !first->pasCertChain || !first->pasCertChain[0].pCert)
    return false;
  using CertNameFn = DWORD(WINAPI*)(PCCERT_CONTEXT, DWORD, DWORD, void*, LPWSTR, DWORD);
  static const auto certName = SystemExport<CertNameFn>(L"crypt32.dll", "CertGetNameStringW");
  if (!certName) return false;
  wchar_t name[256] = {};
  const DWORD length =
      certName(first->pasCertChain[0].pCert, CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr, name, 256);
  if (length <= 1) return false;
  *signer = name;
  return true;
}

bool SignedByPublisherOf(const std::wstring& path, int signerKind) {
  std::wstring signer;
  const bool ok = VerifiedSignerName(path, &signer) && SignerNameMatches(signerKind, signer);
  log::Note("browser", L"signer of " + path + L": \"" + signer + L"\" " +
                           (ok ? L"accepted" : L"refused") + L" for signer kind " +
                           std::to_wstring(signerKind));
  return ok;
}

}  // namespace lum
