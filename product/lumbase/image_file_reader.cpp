#include "product/lumbase/image_file_reader.h"

#include <lum_trust_key.h>

namespace lum {

ImageFileReader::ImageFileReader(const wchar_t* path) {
  if (!path || !*path) return;
  file_.Reset(CreateFileW(path, GENERIC_READ,
                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                          OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
}

bool ImageFileReader::Size(uint64_t* size) {
  LARGE_INTEGER value;
  if (!IsOpen() || !GetFileSizeEx(file_.Get(), &value)) return false;
  *size = static_cast<uint64_t>(value.QuadPart);
  return true;
}

bool ImageFileReader::ReadAt(uint64_t offset, uint8_t* buffer, size_t count) {
  if (!IsOpen()) return false;
  LARGE_INTEGER position;
  position.QuadPart = static_cast<LONGLONG>(offset);
  if (!SetFilePointerEx(file_.Get(), position, nullptr, FILE_BEGIN)) return false;
  while (count > 0) {
    DWORD done = 0;
    const DWORD want = count > 0x100000 ? 0x100000 : static_cast<DWORD>(count);
    if (!ReadFile(file_.Get(), buffer, want, &done, nullptr) || done == 0) return false;
    buffer += done;
    count -= done;
  }
  return true;
}

ImageTrust CheckVendorImage(const wchar_t* path) {
  ImageFileReader reader(path);
  if (!reader.IsOpen()) return ImageTrust::kReadError;
  return VerifyImage(kLumTrustPublicKey, reader);
}

}  // namespace lum
