// A firewall that remembers: Wine's "HNetCfg.FwMgr" answers S_OK to every
// call and stores nothing, so a test registers these class objects for the
// CLSIDs that "HNetCfg.FwMgr" and "HNetCfg.FwAuthorizedApplication" name
// (CoRegisterClassObject, consulted before the registry) and then reads what
// the installer asked for. The installer's code is unchanged: it creates the
// objects by program id and talks to the real netfw interfaces.
#pragma once
#include <windows.h>
// These build on windows.h.
#include <netfw.h>
#include <oleauto.h>

#include <map>
#include <string>
#include <vector>

namespace lum {
namespace fake_firewall {

struct App {
  std::wstring name;
  std::wstring image;
  NET_FW_SCOPE scope = NET_FW_SCOPE_LOCAL_SUBNET;
  NET_FW_IP_VERSION ipVersion = NET_FW_IP_VERSION_V4;
  bool enabled = false;
};

// What the firewall holds and what it was asked, shared by every object.
struct State {
  std::map<int, std::vector<App>> profiles;  // profile type -> authorized applications
  std::vector<std::wstring> calls;           // "Add(0,C:\x.exe)", "put_Name(...)", ...
  int currentProfile = NET_FW_PROFILE_STANDARD;
  int failRemoveInProfile = -1;  // this profile's Remove fails
  bool noPolicy = false;         // get_LocalPolicy fails (service stopped)
};

inline State& Shared() {
  static State state;
  return state;
}

inline std::wstring Text(BSTR text) { return text != nullptr ? std::wstring(text) : L""; }

template <typename Interface>
class Object : public Interface {
 public:
  virtual ~Object() = default;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == __uuidof(Interface)) {
      *out = static_cast<Interface*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override {
    ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                   UINT*) override {
    return E_NOTIMPL;
  }

 private:
  ULONG refs_ = 1;
};

// A free-standing application object (before Add) or a copy of a stored one.
class FakeApp : public Object<INetFwAuthorizedApplication> {
 public:
  explicit FakeApp(App app = App()) : app_(app) {}
  const App& Data() const { return app_; }
  HRESULT STDMETHODCALLTYPE get_Name(BSTR* v) override { return Give(app_.name, v); }
  HRESULT STDMETHODCALLTYPE put_Name(BSTR v) override { return Record(L"put_Name", app_.name = Text(v)); }
  HRESULT STDMETHODCALLTYPE get_ProcessImageFileName(BSTR* v) override { return Give(app_.image, v); }
  HRESULT STDMETHODCALLTYPE put_ProcessImageFileName(BSTR v) override {
    return Record(L"put_ProcessImageFileName", app_.image = Text(v));
  }
  HRESULT STDMETHODCALLTYPE get_IpVersion(NET_FW_IP_VERSION* v) override { *v = app_.ipVersion; return S_OK; }
  HRESULT STDMETHODCALLTYPE put_IpVersion(NET_FW_IP_VERSION v) override {
    app_.ipVersion = v;
    return Record(L"put_IpVersion", std::to_wstring(v));
  }
  HRESULT STDMETHODCALLTYPE get_Scope(NET_FW_SCOPE* v) override { *v = app_.scope; return S_OK; }
  HRESULT STDMETHODCALLTYPE put_Scope(NET_FW_SCOPE v) override {
    app_.scope = v;
    return Record(L"put_Scope", std::to_wstring(v));
  }
  HRESULT STDMETHODCALLTYPE get_RemoteAddresses(BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_RemoteAddresses(BSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Enabled(VARIANT_BOOL* v) override {
    *v = app_.enabled ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE put_Enabled(VARIANT_BOOL v) override {
    app_.enabled = v != VARIANT_FALSE;
    return Record(L"put_Enabled", app_.enabled ? L"true" : L"false");
  }

 private:
  static HRESULT Give(const std::wstring& text, BSTR* out) {
    *out = ::SysAllocString(text.c_str());
    return S_OK;
  }
  static HRESULT Record(const wchar_t* call, const std::wstring& argument) {
    Shared().calls.push_back(std::wstring(call) + L"(" + argument + L")");
    return S_OK;
  }
  App app_;
};

class FakeApps : public Object<INetFwAuthorizedApplications> {
 public:
  explicit FakeApps(int profile) : profile_(profile) {}
  HRESULT STDMETHODCALLTYPE get_Count(LONG* count) override {
    *count = static_cast<LONG>(Apps().size());
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Add(INetFwAuthorizedApplication* app) override {
    // Only our own objects can be stored; the installer makes them by program id.
    App data = static_cast<FakeApp*>(app)->Data();
    Shared().calls.push_back(L"Add(" + std::to_wstring(profile_) + L"," + data.image + L")");
    for (App& existing : Apps()) {
      if (_wcsicmp(existing.image.c_str(), data.image.c_str()) == 0) {
        existing = data;
        return S_OK;
      }
    }
    Apps().push_back(data);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Remove(BSTR image) override {
    Shared().calls.push_back(L"Remove(" + std::to_wstring(profile_) + L"," + Text(image) + L")");
    if (Shared().failRemoveInProfile == profile_) return E_ACCESSDENIED;
    std::vector<App>& apps = Apps();
    for (size_t i = 0; i < apps.size(); ++i) {
      if (_wcsicmp(apps[i].image.c_str(), Text(image).c_str()) == 0) {
        apps.erase(apps.begin() + i);
        break;
      }
    }
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Item(BSTR image, INetFwAuthorizedApplication** app) override {
    for (const App& existing : Apps()) {
      if (_wcsicmp(existing.image.c_str(), Text(image).c_str()) == 0) {
        *app = new FakeApp(existing);
        return S_OK;
      }
    }
    *app = nullptr;
    return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
  }
  HRESULT STDMETHODCALLTYPE get__NewEnum(IUnknown**) override { return E_NOTIMPL; }

 private:
  std::vector<App>& Apps() { return Shared().profiles[profile_]; }
  int profile_;
};

class FakeProfile : public Object<INetFwProfile> {
 public:
  explicit FakeProfile(int type) : type_(type) {}
  HRESULT STDMETHODCALLTYPE get_Type(NET_FW_PROFILE_TYPE* t) override {
    *t = static_cast<NET_FW_PROFILE_TYPE>(type_);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_FirewallEnabled(VARIANT_BOOL*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_FirewallEnabled(VARIANT_BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_ExceptionsNotAllowed(VARIANT_BOOL*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_ExceptionsNotAllowed(VARIANT_BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_NotificationsDisabled(VARIANT_BOOL*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_NotificationsDisabled(VARIANT_BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_UnicastResponsesToMulticastBroadcastDisabled(VARIANT_BOOL*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE put_UnicastResponsesToMulticastBroadcastDisabled(VARIANT_BOOL) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE get_RemoteAdminSettings(INetFwRemoteAdminSettings**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE get_IcmpSettings(INetFwIcmpSettings**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_GloballyOpenPorts(INetFwOpenPorts**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Services(INetFwServices**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_AuthorizedApplications(INetFwAuthorizedApplications** apps) override {
    *apps = new FakeApps(type_);
    return S_OK;
  }

 private:
  int type_;
};

class FakePolicy : public Object<INetFwPolicy> {
 public:
  HRESULT STDMETHODCALLTYPE get_CurrentProfile(INetFwProfile** profile) override {
    *profile = new FakeProfile(Shared().currentProfile);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetProfileByType(NET_FW_PROFILE_TYPE type, INetFwProfile** profile) override {
    // "Current" is an alias of whichever profile is active.
    *profile = new FakeProfile(type == NET_FW_PROFILE_CURRENT ? Shared().currentProfile : type);
    return S_OK;
  }
};

class FakeManager : public Object<INetFwMgr> {
 public:
  HRESULT STDMETHODCALLTYPE get_LocalPolicy(INetFwPolicy** policy) override {
    if (Shared().noPolicy) {
      *policy = nullptr;
      return HRESULT_FROM_WIN32(ERROR_SERVICE_NOT_ACTIVE);
    }
    *policy = new FakePolicy();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_CurrentProfileType(NET_FW_PROFILE_TYPE* t) override {
    *t = static_cast<NET_FW_PROFILE_TYPE>(Shared().currentProfile);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE RestoreDefaults() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE IsPortAllowed(BSTR, NET_FW_IP_VERSION, LONG, BSTR, NET_FW_IP_PROTOCOL,
                                          VARIANT*, VARIANT*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE IsIcmpTypeAllowed(NET_FW_IP_VERSION, BSTR, BYTE, VARIANT*, VARIANT*) override {
    return E_NOTIMPL;
  }
};

template <typename Made>
class Factory : public IClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (iid == IID_IUnknown || iid == IID_IClassFactory) {
      *out = static_cast<IClassFactory*>(this);
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }  // static lifetime
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    Made* made = new Made();
    HRESULT hr = made->QueryInterface(iid, out);
    made->Release();
    return hr;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};

// Registers both class objects for this thread's apartment while it lives.
class Registration {
 public:
  Registration() {
    Register(L"HNetCfg.FwMgr", &managerFactory_, &managerCookie_);
    Register(L"HNetCfg.FwAuthorizedApplication", &appFactory_, &appCookie_);
  }
  ~Registration() {
    if (managerCookie_ != 0) ::CoRevokeClassObject(managerCookie_);
    if (appCookie_ != 0) ::CoRevokeClassObject(appCookie_);
  }
  bool Ok() const { return managerCookie_ != 0 && appCookie_ != 0; }

 private:
  static void Register(const wchar_t* progId, IClassFactory* factory, DWORD* cookie) {
    CLSID clsid;
    if (FAILED(::CLSIDFromProgID(progId, &clsid))) return;
    if (FAILED(::CoRegisterClassObject(clsid, factory, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                                       REGCLS_MULTIPLEUSE, cookie))) {
      *cookie = 0;
    }
  }
  Factory<FakeManager> managerFactory_;
  Factory<FakeApp> appFactory_;
  DWORD managerCookie_ = 0;
  DWORD appCookie_ = 0;
};

}  // namespace fake_firewall
}  // namespace lum
