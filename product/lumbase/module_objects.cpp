#include "product/lumbase/module_objects.h"

#include <sodium.h>

#include <new>

#include "product/lumbase/image_file_reader.h"
#include "vendor/lum_module_abi_win.h"

namespace lum {
namespace {

constexpr GUID kIidUnknown = {
    0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// Reference counting and QueryInterface for an object with one interface.
template <typename Interface>
class ModuleObject : public Interface {
 public:
  explicit ModuleObject(const GUID& iid) : iid_(iid) {}
  virtual ~ModuleObject() = default;

  HRESULT __stdcall QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (!IsEqualGUID(iid, kIidUnknown) && !IsEqualGUID(iid, iid_)) {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    *out = static_cast<Interface*>(this);
    AddRef();
    return S_OK;
  }
  ULONG __stdcall AddRef() override { return InterlockedIncrement(&references_); }
  ULONG __stdcall Release() override {
    const LONG left = InterlockedDecrement(&references_);
    if (left == 0) delete this;
    return left;
  }

 private:
  GUID iid_;
  LONG references_ = 1;
};

class FileProperties : public ModuleObject<ILumFileProperties> {
 public:
  FileProperties() : ModuleObject(kIidFileProperties) {}

  HRESULT __stdcall Open(const wchar_t* path) override {
    opened_ = false;
    ImageFileReader reader(path);
    uint64_t size = 0;
    if (!reader.IsOpen() || !reader.Size(&size)) return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    size_ = size;
    switch (CheckVendorImage(path)) {
      case ImageTrust::kTrusted:
        signature_ = kSignatureStateTrusted;
        break;
      case ImageTrust::kUnsigned:
        signature_ = kSignatureStateNone;
        break;
      case ImageTrust::kReadError:
        return E_FAIL;
      default:
        signature_ = kSignatureStateInvalid;
        break;
    }
    opened_ = true;
    return S_OK;
  }

  HRESULT __stdcall GetProperty(ULONG id, ULONG* value) override {
    if (!value) return E_POINTER;
    *value = 0;
    if (!opened_) return E_UNEXPECTED;
    switch (id) {
      case kFilePropertySizeLow:
        *value = static_cast<ULONG>(size_);
        return S_OK;
      case kFilePropertySizeHigh:
        *value = static_cast<ULONG>(size_ >> 32);
        return S_OK;
      case kFilePropertyCatalog:
        return S_OK;  // no catalog store here
      case kFilePropertySignature:
        *value = signature_ << 12;
        return S_OK;
      case kFilePropertyPublisher:
        return S_OK;  // no certificate store here
      default:
        return E_INVALIDARG;
    }
  }

 private:
  bool opened_ = false;
  uint64_t size_ = 0;
  ULONG signature_ = kSignatureStateNone;
};

class Identity : public ModuleObject<ILumIdentity> {
 public:
  Identity() : ModuleObject(kIidIdentity) {}

  HRESULT __stdcall GetVolumeSerial(DWORD* serial) override {
    if (!serial) return E_POINTER;
    wchar_t windows[MAX_PATH];
    const UINT length = GetWindowsDirectoryW(windows, MAX_PATH);
    if (length < 3 || length >= MAX_PATH) return E_FAIL;
    windows[3] = L'\0';  // "C:\"
    if (!GetVolumeInformationW(windows, nullptr, 0, serial, nullptr, nullptr, nullptr, 0)) {
      return HRESULT_FROM_WIN32(GetLastError());
    }
    return S_OK;
  }

  HRESULT __stdcall GetMachineName(wchar_t* name, ULONG capacity) override {
    if (!name) return E_POINTER;
    DWORD size = capacity;
    if (!GetComputerNameW(name, &size)) return HRESULT_FROM_WIN32(GetLastError());
    return S_OK;
  }

  HRESULT __stdcall GetIdentityText(wchar_t* text, ULONG capacity) override {
    if (!text) return E_POINTER;
    if (capacity == 0 || capacity > kIdentityTextMax) return E_INVALIDARG;
    DWORD serial = 0;
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    // A missing volume or name still gives a stable text from what is left.
    if (FAILED(GetVolumeSerial(&serial))) serial = 0;
    if (FAILED(GetMachineName(name, MAX_COMPUTERNAME_LENGTH + 1))) name[0] = L'\0';
    const std::wstring identity = MachineIdentityText(serial, name);
    if (identity.size() + 1 > capacity) return E_INVALIDARG;
    identity.copy(text, identity.size());
    text[identity.size()] = L'\0';
    return S_OK;
  }
};

class FileVerifier : public ModuleObject<ILumFileVerifier> {
 public:
  FileVerifier() : ModuleObject(kIidFileVerifier) {}
  int __stdcall VerifyFile(const wchar_t* path, int* kind) override {
    return VerifyVendorFile(path, kind);
  }
};

}  // namespace

std::wstring MachineIdentityText(DWORD volumeSerial, const std::wstring& machineName) {
  crypto_hash_sha256_state state;
  crypto_hash_sha256_init(&state);
  const unsigned char serial[4] = {static_cast<unsigned char>(volumeSerial),
                                   static_cast<unsigned char>(volumeSerial >> 8),
                                   static_cast<unsigned char>(volumeSerial >> 16),
                                   static_cast<unsigned char>(volumeSerial >> 24)};
  crypto_hash_sha256_update(&state, serial, sizeof serial);
  for (wchar_t c : machineName) {
    const unsigned char unit[2] = {static_cast<unsigned char>(c),
                                   static_cast<unsigned char>(c >> 8)};
    crypto_hash_sha256_update(&state, unit, sizeof unit);
  }
  unsigned char digest[crypto_hash_sha256_BYTES];
  crypto_hash_sha256_final(&state, digest);
  static const wchar_t kHex[] = L"0123456789ABCDEF";
  std::wstring text;
  for (int i = 0; i < 16; ++i) {
    text += kHex[digest[i] >> 4];
    text += kHex[digest[i] & 15];
  }
  return text;
}

bool CreateModuleObject(const GUID& iid, void** out) {
  IUnknown* object = nullptr;
  if (IsEqualGUID(iid, kIidFileProperties)) {
    object = new (std::nothrow) FileProperties();
  } else if (IsEqualGUID(iid, kIidIdentity)) {
    object = new (std::nothrow) Identity();
  } else if (IsEqualGUID(iid, kIidFileVerifier)) {
    object = new (std::nothrow) FileVerifier();
  }
  *out = object;
  return object != nullptr;
}

}  // namespace lum
