// Resources of the running module: lookup, and writing one to a file.
#pragma once
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace lum {

// Resource ids carried by the installer (type "FILE", language 1033).
enum ResourceId : int {
  kResArchiveLibrary = 500,  // "amzl" container of the archive library
  kResPayloadArchive = 501,  // 7z archive of the product's files
  kResLanguageTable = 502,   // UTF-16 INI
  kResActionScript = 503,    // UTF-16 INI
  kResBaseModule = 504,      // "amzl" container of Lumbase.dll
  kResManifest = 505,        // UTF-16 INI
  kResMarkerModule = 512,    // EEMarker.dll
};
constexpr const wchar_t* kFileResourceType = L"FILE";

// One lookup of a resource in the installer's own module. Read-only; the
// resource is released when the blob goes away.
class ResourceBlob {
 public:
  ResourceBlob() = default;
  ~ResourceBlob();
  ResourceBlob(const ResourceBlob&) = delete;
  ResourceBlob& operator=(const ResourceBlob&) = delete;

  bool Load(const wchar_t* type, int id);
  const uint8_t* Data() const { return data_; }
  size_t Size() const { return size_; }

 private:
  HRSRC resource_ = nullptr;
  HGLOBAL loaded_ = nullptr;
  const uint8_t* data_ = nullptr;
  size_t size_ = 0;
};

// Unpacks an "amzl" container to `path` (codes 0 and 100-108 of amzl.h).
int UnpackContainer(const uint8_t* data, size_t size, const std::wstring& path);

// Writes resource `type`/`id` to `path`, unpacking an "amzl" container on the
// way; a resource that is not a container, or fails to unpack, is written as
// it is. True when `path` holds the resource's file afterwards.
bool WriteResourceToFile(const wchar_t* type, int id, const std::wstring& path);

}  // namespace lum
