#include "vendor/base_module_win.h"

#include <mutex>

#include "base/install_log.h"
#include "system/file_ops_win.h"
#include "system/windows_version_win.h"
#include "vendor/base_module_bridge_win.h"
#include "vendor/trust_kind.h"

namespace lum {
namespace {

constexpr const char* kLog = "vendor";

// Holds one reference of a module object and releases it.
template <typename Interface>
class ObjectRef {
 public:
  ObjectRef() = default;
  ~ObjectRef() {
    if (object_) object_->Release();
  }
  ObjectRef(const ObjectRef&) = delete;
  ObjectRef& operator=(const ObjectRef&) = delete;

  bool Create(const BaseModuleBinding& module, const GUID& iid) {
    void* out = nullptr;
    if (module.CreateObject(iid, &out) != 0 || !out) return false;
    object_ = static_cast<Interface*>(out);
    return true;
  }
  Interface* Get() const { return object_; }
  Interface* operator->() const { return object_; }

 private:
  Interface* object_ = nullptr;
};

ULONG PropertyOrZero(ILumFileProperties* object, ULONG id) {
  ULONG value = 0;
  return SUCCEEDED(object->GetProperty(id, &value)) ? value : 0;
}

}  // namespace

int VerifyFileByProperties(const BaseModuleBinding& module, const std::wstring& path, int* kind) {
  *kind = kTrustKindNone;
  ObjectRef<ILumFileProperties> properties;
  if (!properties.Create(module, kIidFileProperties)) return 0;
  if (FAILED(properties->Open(path.c_str()))) return 0;
  *kind = TrustKindFromProperties(PropertyOrZero(properties.Get(), kFilePropertyCatalog),
                                  PropertyOrZero(properties.Get(), kFilePropertySignature),
                                  PropertyOrZero(properties.Get(), kFilePropertyPublisher));
  return *kind == kTrustKindNone ? 0 : 1;
}

int VerifyFileWith(const BaseModuleBinding& module, const std::wstring& path, int* kind) {
  int ignored = kTrustKindNone;
  if (!kind) kind = &ignored;
  *kind = kTrustKindNone;
  if (!module.Loaded()) {
    log::Action(kLog, L"verify file: base module not loaded, refused", path, 1);
    return 0;
  }
  int trusted = 0;
  auto entry = reinterpret_cast<VerifyFileFn>(module.Entry(kBaseEntryVerifyFile));
  if (entry) {
    trusted = entry(path.c_str(), kind);
  } else {
    trusted = VerifyFileByProperties(module, path, kind);
  }
  if (!trusted) *kind = kTrustKindNone;
  log::Action(kLog,
              trusted ? L"verify file: trusted, kind " + std::to_wstring(*kind)
                      : std::wstring(L"verify file: refused"),
              path, trusted ? 0 : 1);
  return trusted;
}

std::wstring ReadIdentityText(const BaseModuleBinding& module) {
  ObjectRef<ILumIdentity> identity;
  if (!identity.Create(module, kIidIdentity)) return std::wstring();
  wchar_t text[kIdentityTextMax] = {};
  if (FAILED(identity->GetIdentityText(text, kIdentityTextMax))) return std::wstring();
  text[kIdentityTextMax - 1] = L'\0';
  return text;
}

bool LoadBaseModule(const std::wstring& path) {
  // An elevated process runs code only from a folder it made itself for
  // SYSTEM and the Administrators; anything else may be a standard user's.
  const size_t slash = path.find_last_of(L"\\/");
  if (TokenIsElevated() &&
      (slash == std::wstring::npos || !IsProtectedFolderOfThisRun(path.substr(0, slash)))) {
    log::Action(kLog, L"bind base module: refused, folder not protected by this run", path,
                ERROR_ACCESS_DENIED);
    return false;
  }
  bool decidedNow = false;
  const bool loaded = BaseModuleBinding::Instance().Load(path, &decidedNow);
  if (decidedNow) {
    // The file the loader mapped, not the one asked for: the two differ when
    // a module of that name was in the process already.
    log::Action(kLog,
                loaded ? L"bind base module, mapped from " +
                             BaseModuleBinding::Instance().ModuleFileName()
                       : std::wstring(L"bind base module: not loaded"),
                path, loaded ? 0 : 1);
  }
  return loaded;
}

bool BaseModuleLoaded() { return BaseModuleBinding::Instance().Loaded(); }

int VerifyFile(const std::wstring& path, int* kind) {
  return VerifyFileWith(BaseModuleBinding::Instance(), path, kind);
}

int BaseModuleEdition() {
  auto entry =
      reinterpret_cast<EditionFn>(BaseModuleBinding::Instance().Entry(kBaseEntryEdition));
  const int edition = entry ? entry() : 0;
  log::Note(kLog, entry ? L"base module edition " + std::to_wstring(edition)
                        : std::wstring(L"base module edition: unavailable, 0"));
  return edition;
}

std::wstring BaseIdentityText() {
  // Read once, from the first call that finds the module bound.
  static std::mutex lock;
  static bool read = false;
  static std::wstring text;
  std::lock_guard<std::mutex> hold(lock);
  if (!read && BaseModuleLoaded()) {
    text = ReadIdentityText(BaseModuleBinding::Instance());
    read = true;
    log::Note(kLog, text.empty() ? L"base identity: unavailable" : L"base identity: read");
  }
  return text;
}

}  // namespace lum
