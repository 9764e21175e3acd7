#include <windows.h>

#include "base/install_log.h"
#include "base/text.h"
#include "install/component_manifest.h"
#include "payload/resource_file_win.h"
#include "system/file_bytes_win.h"

namespace lum {
namespace {

constexpr const char* kLog = "manifest";

// The old target as text: true with empty text when there is no file yet,
// false when a file is there that could not be read or decoded. A file
// without a byte-order mark was written in the ANSI code page, as the
// private-profile writer does for such files.
bool ReadExistingIni(const std::wstring& path, std::wstring* text) {
  text->clear();
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = ::GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return true;
  }
  std::vector<uint8_t> bytes;
  if (!ReadFileBytes(path, &bytes)) return false;
  if (bytes.empty()) return true;
  if (DecodeBomText(bytes, text)) return true;
  const int size = static_cast<int>(bytes.size());
  const auto* data = reinterpret_cast<const char*>(bytes.data());
  const int chars = ::MultiByteToWideChar(CP_ACP, 0, data, size, nullptr, 0);
  if (chars <= 0) return false;
  text->resize(static_cast<size_t>(chars));
  return ::MultiByteToWideChar(CP_ACP, 0, data, size, &(*text)[0], chars) == chars;
}

// Writes `bytes` to a temporary file beside `target` and moves it over
// `target` in one step: a write that fails (a full disk) leaves the old file
// whole, with the updater's own sections. The temporary goes on failure. Its
// name is fixed, so that what a run cut off between the write and the move
// left is replaced by the next run's write instead of lying there for good.
bool ReplaceWholeFile(const std::wstring& target, const std::vector<uint8_t>& bytes) {
  const std::wstring temporary = target + L".lumnew";
  if (::GetFileAttributesW(temporary.c_str()) != INVALID_FILE_ATTRIBUTES)
    log::Action(kLog, L"delete temporary manifest left by an earlier run", temporary,
                ::DeleteFileW(temporary.c_str()) ? 0 : static_cast<long>(::GetLastError()));
  const bool moved =
      WriteFileBytes(temporary, bytes) &&
      ::MoveFileExW(temporary.c_str(), target.c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
  if (!moved) {
    const DWORD error = ::GetLastError();
    const BOOL removed = ::DeleteFileW(temporary.c_str());
    log::Action(kLog, L"delete temporary manifest", temporary,
                removed ? 0 : static_cast<long>(::GetLastError()));
    ::SetLastError(error);
  }
  return moved;
}

}  // namespace

bool WriteComponentManifestFrom(const IniTable& manifest, const std::wstring& installFolder) {
  const std::wstring target = installFolder + L"\\" + kUpdateConfigFileName;
  const std::vector<ManifestEntry> entries = BuildManifestEntries(manifest, installFolder);
  std::wstring existing;
  if (!ReadExistingIni(target, &existing)) {
    // Its other sections belong to the product's updater; writing only ours
    // would lose them. The file stays as it is.
    log::Action(kLog, L"updatecfg.ini could not be read; left as it is", target,
                static_cast<long>(::GetLastError()));
    return false;
  }
  const std::wstring merged = MergeManifestIntoIni(existing, entries);
  const bool written = ReplaceWholeFile(target, WideToUtf16Le(merged, true));
  const long code = written ? 0 : static_cast<long>(::GetLastError());
  log::Action(kLog, L"write component manifest (" + std::to_wstring(entries.size()) + L" sections)",
              target, code);
  return written;
}

void WriteComponentManifest(const std::wstring& installFolder) {
  IniTable manifest;
  if (!manifest.LoadFromResource(kFileResourceType, kResManifest)) {
    log::Note(kLog, L"component manifest not loaded; updatecfg.ini left as it is");
    return;
  }
  WriteComponentManifestFrom(manifest, installFolder);
}

}  // namespace lum
