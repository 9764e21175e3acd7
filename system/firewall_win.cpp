#include "system/firewall_win.h"

#include <windows.h>
// These build on windows.h.
#include <netfw.h>
#include <oleauto.h>

#include "base/install_log.h"
#include "system/com_ref_win.h"
#include "system/firewall_rules.h"
#include "system/win_handle_win.h"

namespace lum {
namespace {

const char kLog[] = "firewall";

// A BSTR owned for the duration of one call.
class Bstr {
 public:
  explicit Bstr(const std::wstring& text)
      : text_(::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
  ~Bstr() { ::SysFreeString(text_); }
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  BSTR Get() const { return text_; }
  bool Valid() const { return text_ != nullptr; }

 private:
  BSTR text_;
};

template <typename T>
ComRef<T> CreateByProgId(const wchar_t* progId) {
  ComRef<T> object;
  CLSID clsid;
  if (FAILED(::CLSIDFromProgID(progId, &clsid))) return object;
  ::CoCreateInstance(clsid, nullptr, CLSCTX_ALL, __uuidof(T), object.PutVoid());
  return object;
}

ComRef<INetFwPolicy> LocalPolicy() {
  ComRef<INetFwPolicy> policy;
  ComRef<INetFwMgr> manager = CreateByProgId<INetFwMgr>(L"HNetCfg.FwMgr");
  if (!manager) return policy;
  INetFwPolicy* raw = nullptr;
  if (SUCCEEDED(manager->get_LocalPolicy(&raw))) policy = ComRef<INetFwPolicy>::Adopt(raw);
  return policy;
}

ComRef<INetFwAuthorizedApplications> ApplicationsOf(INetFwProfile* profile) {
  INetFwAuthorizedApplications* raw = nullptr;
  if (profile == nullptr || FAILED(profile->get_AuthorizedApplications(&raw))) raw = nullptr;
  return ComRef<INetFwAuthorizedApplications>::Adopt(raw);
}

// Whether the collection already holds `imagePath` enabled, for every
// address and any IP version.
bool AlreadyAuthorized(INetFwAuthorizedApplications* applications, const Bstr& image) {
  INetFwAuthorizedApplication* raw = nullptr;
  if (FAILED(applications->Item(image.Get(), &raw)) || raw == nullptr) return false;
  ComRef<INetFwAuthorizedApplication> existing = ComRef<INetFwAuthorizedApplication>::Adopt(raw);
  VARIANT_BOOL enabled = VARIANT_FALSE;
  NET_FW_SCOPE scope = NET_FW_SCOPE_LOCAL_SUBNET;
  NET_FW_IP_VERSION version = NET_FW_IP_VERSION_V4;
  if (FAILED(existing->get_Enabled(&enabled)) || FAILED(existing->get_Scope(&scope)) ||
      FAILED(existing->get_IpVersion(&version))) {
    return false;
  }
  return AuthorizationIsCurrent(enabled != VARIANT_FALSE, scope, version);
}

}  // namespace

bool AuthorizeApplication(const std::wstring& imagePath, const std::wstring& displayName) {
  CoInit com;
  Bstr image(imagePath);
  Bstr name(displayName);
  if (!image.Valid() || !name.Valid()) return false;

  ComRef<INetFwPolicy> policy = LocalPolicy();
  INetFwProfile* rawProfile = nullptr;
  if (!policy || FAILED(policy->get_CurrentProfile(&rawProfile))) rawProfile = nullptr;
  ComRef<INetFwProfile> profile = ComRef<INetFwProfile>::Adopt(rawProfile);
  ComRef<INetFwAuthorizedApplications> applications = ApplicationsOf(profile.Get());
  if (!applications) {
    log::Action(kLog, L"authorize: firewall not available", imagePath, 1);
    return false;
  }
  if (AlreadyAuthorized(applications.Get(), image)) {
    log::Action(kLog, L"authorize: already authorized, left as it is", imagePath, 0);
    return true;
  }

  ComRef<INetFwAuthorizedApplication> fresh =
      CreateByProgId<INetFwAuthorizedApplication>(L"HNetCfg.FwAuthorizedApplication");
  HRESULT hr = fresh ? S_OK : E_NOINTERFACE;
  if (SUCCEEDED(hr)) hr = fresh->put_Name(name.Get());
  if (SUCCEEDED(hr)) hr = fresh->put_Scope(NET_FW_SCOPE_ALL);
  if (SUCCEEDED(hr)) hr = fresh->put_IpVersion(NET_FW_IP_VERSION_ANY);
  if (SUCCEEDED(hr)) hr = fresh->put_Enabled(VARIANT_TRUE);
  if (SUCCEEDED(hr)) hr = fresh->put_ProcessImageFileName(image.Get());
  if (SUCCEEDED(hr)) hr = applications->Add(fresh.Get());
  log::Action(kLog, L"authorize as \"" + displayName + L"\"", imagePath, static_cast<long>(hr));
  return SUCCEEDED(hr);
}

bool RevokeApplication(const std::wstring& imagePath) {
  CoInit com;
  Bstr image(imagePath);
  ComRef<INetFwPolicy> policy = LocalPolicy();
  if (!policy || !image.Valid()) {
    log::Action(kLog, L"revoke: firewall not available", imagePath, 1);
    return false;
  }
  bool all = true;
  const NET_FW_PROFILE_TYPE kProfiles[] = {NET_FW_PROFILE_DOMAIN, NET_FW_PROFILE_STANDARD,
                                           NET_FW_PROFILE_CURRENT};
  for (NET_FW_PROFILE_TYPE type : kProfiles) {
    INetFwProfile* raw = nullptr;
    if (FAILED(policy->GetProfileByType(type, &raw))) raw = nullptr;
    ComRef<INetFwProfile> profile = ComRef<INetFwProfile>::Adopt(raw);
    ComRef<INetFwAuthorizedApplications> applications = ApplicationsOf(profile.Get());
    HRESULT hr = applications ? applications->Remove(image.Get()) : E_NOINTERFACE;
    log::Action(kLog, L"revoke from profile " + std::to_wstring(static_cast<int>(type)), imagePath,
                static_cast<long>(hr));
    all = all && SUCCEEDED(hr);
  }
  return all;
}

}  // namespace lum
