#include "payload/resource_file_win.h"

#include <vector>

#include "base/install_log.h"
#include "payload/amzl.h"
#include "system/win_handle_win.h"

namespace lum {
namespace {

constexpr const char* kLog = "payload";

std::wstring ResourceName(const wchar_t* type, int id) {
  std::wstring name = IS_INTRESOURCE(type)
                          ? L"#" + std::to_wstring(reinterpret_cast<uintptr_t>(type))
                          : std::wstring(type);
  return name + L" " + std::to_wstring(id);
}

// One WriteFile of the whole buffer; true only when every byte went out.
bool WriteAll(HANDLE file, const uint8_t* data, size_t size) {
  if (size > MAXDWORD) return false;
  DWORD written = 0;
  return ::WriteFile(file, data, static_cast<DWORD>(size), &written, nullptr) && written == size;
}

// Writes the bytes as they are; an unpacked container comes through here too
// when it could not be unpacked, so its caller still gets a file.
bool WriteRaw(const uint8_t* data, size_t size, const std::wstring& path, DWORD& error) {
  UniqueFileHandle file(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                                      nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    error = ::GetLastError();
    return false;
  }
  if (!WriteAll(file.Get(), data, size)) {
    error = ::GetLastError();
    if (error == ERROR_SUCCESS) error = ERROR_WRITE_FAULT;
    return false;
  }
  error = ERROR_SUCCESS;
  return true;
}

}  // namespace

ResourceBlob::~ResourceBlob() {
  // A no-op on 32-bit Windows, kept so the blob releases what it loaded.
  if (loaded_ != nullptr) ::FreeResource(loaded_);
}

bool ResourceBlob::Load(const wchar_t* type, int id) {
  if (loaded_ != nullptr) ::FreeResource(loaded_);
  resource_ = nullptr;
  loaded_ = nullptr;
  data_ = nullptr;
  size_ = 0;

  HMODULE self = ::GetModuleHandleW(nullptr);
  resource_ = ::FindResourceW(self, MAKEINTRESOURCEW(id), type);
  if (resource_ == nullptr) return false;
  loaded_ = ::LoadResource(self, resource_);
  if (loaded_ == nullptr) {
    resource_ = nullptr;
    return false;
  }
  data_ = static_cast<const uint8_t*>(::LockResource(loaded_));
  size_ = data_ != nullptr ? ::SizeofResource(self, resource_) : 0;
  return true;
}

int UnpackContainer(const uint8_t* data, size_t size, const std::wstring& path) {
  std::vector<uint8_t> unpacked;
  int code = DecodeContainer(data, size, unpacked);
  if (code == kContainerOk) {
    UniqueFileHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
      code = kContainerCreateFailed;
    } else if (!WriteAll(file.Get(), unpacked.data(), unpacked.size())) {
      code = kContainerWriteFailed;
    }
  }
  log::Action(kLog, L"unpack container", path, code);
  return code;
}

bool WriteResourceToFile(const wchar_t* type, int id, const std::wstring& path) {
  ResourceBlob blob;
  if (!blob.Load(type, id)) {
    log::Action(kLog, L"write resource " + ResourceName(type, id) + L": not found", path,
                static_cast<long>(::GetLastError()));
    return false;
  }
  ::DeleteFileW(path.c_str());  // a stale file must not survive a failed write

  const int check = CheckContainer(blob.Data(), blob.Size());
  if (check == kContainerOk && UnpackContainer(blob.Data(), blob.Size(), path) == kContainerOk) {
    return true;
  }
  DWORD error = ERROR_SUCCESS;
  const bool written = WriteRaw(blob.Data(), blob.Size(), path, error);
  log::Action(kLog, L"write resource " + ResourceName(type, id) + L" as stored", path,
              static_cast<long>(error));
  return written;
}

}  // namespace lum
