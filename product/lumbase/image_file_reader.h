// Reads a Windows file for the signature check, by wide path.
#pragma once
#include <windows.h>

#include "system/win_handle_win.h"
#include "vendor/image_signature.h"

namespace lum {

// Opens the file for reading while letting others read, write and delete,
// so that a running program or a loaded module can be checked.
class ImageFileReader : public ImageReader {
 public:
  explicit ImageFileReader(const wchar_t* path);

  bool IsOpen() const { return file_.Valid(); }
  bool Size(uint64_t* size) override;
  bool ReadAt(uint64_t offset, uint8_t* buffer, size_t count) override;

 private:
  UniqueFileHandle file_;
};

// The pinned vendor key's verdict on a file.
ImageTrust CheckVendorImage(const wchar_t* path);

}  // namespace lum
