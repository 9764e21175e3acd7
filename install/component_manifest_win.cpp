#include <windows.h>

#include "base/install_log.h"
#include "base/text.h"
#include "install/component_manifest.h"
#include "payload/resource_file_win.h"
#include "system/file_bytes_win.h"

namespace lum {
namespace {

constexpr const char* kLog = "manifest";

// The old target as text. A file without a byte-order mark was written in
// the ANSI code page, as the private-profile writer does for such files.
std::wstring ReadExistingIni(const std::wstring& path) {
  std::vector<uint8_t> bytes;
  if (!ReadFileBytes(path, &bytes) || bytes.empty()) return std::wstring();
  std::wstring text;
  if (DecodeBomText(bytes, &text)) return text;
  const int size = static_cast<int>(bytes.size());
  const auto* data = reinterpret_cast<const char*>(bytes.data());
  const int chars = ::MultiByteToWideChar(CP_ACP, 0, data, size, nullptr, 0);
  if (chars <= 0) return std::wstring();
  text.resize(static_cast<size_t>(chars));
  ::MultiByteToWideChar(CP_ACP, 0, data, size, &text[0], chars);
  return text;
}

}  // namespace

bool WriteComponentManifestFrom(const IniTable& manifest, const std::wstring& installFolder) {
  const std::wstring target = installFolder + L"\\" + kUpdateConfigFileName;
  const std::vector<ManifestEntry> entries = BuildManifestEntries(manifest, installFolder);
  const std::wstring merged = MergeManifestIntoIni(ReadExistingIni(target), entries);
  const bool written = WriteFileBytes(target, WideToUtf16Le(merged, true));
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
