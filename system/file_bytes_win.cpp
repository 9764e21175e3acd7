#include "system/file_bytes_win.h"

#include "system/win_handle_win.h"

namespace lum {

bool ReadFileBytes(const std::wstring& path, std::vector<uint8_t>* bytes) {
  UniqueFileHandle file(::CreateFileW(path.c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.Valid()) return false;
  LARGE_INTEGER size = {};
  if (!::GetFileSizeEx(file.Get(), &size)) return false;
  if (size.QuadPart > 64 * 1024 * 1024) {  // far beyond any settings file
    ::SetLastError(ERROR_FILE_TOO_LARGE);
    return false;
  }
  bytes->assign(static_cast<size_t>(size.QuadPart), 0);
  size_t done = 0;
  while (done < bytes->size()) {
    DWORD got = 0;
    if (!::ReadFile(file.Get(), bytes->data() + done, static_cast<DWORD>(bytes->size() - done),
                    &got, nullptr))
      return false;
    if (got == 0) break;
    done += got;
  }
  bytes->resize(done);
  return true;
}

bool WriteFileBytes(const std::wstring& path, const std::vector<uint8_t>& bytes) {
  UniqueFileHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.Valid()) return false;
  size_t done = 0;
  while (done < bytes.size()) {
    DWORD put = 0;
    if (!::WriteFile(file.Get(), bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &put,
                     nullptr) ||
        put == 0)
      return false;
    done += put;
  }
  // These files replace others by rename: the bytes are on the disk first.
  return ::FlushFileBuffers(file.Get()) != FALSE;
}

}  // namespace lum
