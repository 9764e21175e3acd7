// The component manifest (resource FILE 505) tells the product's updater which
// version of each updatable file was just installed and where it lies. It is
// merged into "<install folder>\updatecfg.ini": the manifest's `ver` and
// `path` always replace the target's values of the same section, everything
// else in the target is kept.
//
// The merge is pure text work so it can be tested without Windows; the Win32
// side only reads the resource and the old file and writes the new one.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "payload/ini_table.h"

namespace lum {

constexpr const wchar_t* kUpdateConfigFileName = L"updatecfg.ini";
constexpr const wchar_t* kProductPathPlaceholder = L"%productpath%";

// One section of the manifest as it is written into the target.
struct ManifestEntry {
  std::wstring section;
  std::wstring ver;
  std::wstring path;  // lower-cased, placeholder replaced by the install folder
};

// The manifest's sections in resource order. `path` is lower-cased first and
// then every "%productpath%" is replaced by `installFolder` as given (its case
// kept). Missing keys give empty values; `md5` is not carried. Sections with
// an empty name (keys before the first header) are left out.
std::vector<ManifestEntry> BuildManifestEntries(const IniTable& manifest,
                                                const std::wstring& installFolder);

// Writes every entry's `ver` and `path` into the INI text `existing` the way
// the system's private-profile writer does: section and key names match
// without regard to case, an existing value line is replaced in place, a
// missing key is added after the section's last entry, a missing section is
// appended at the end. All other lines are kept as they are. Lines end in
// CR LF.
std::wstring MergeManifestIntoIni(const std::wstring& existing,
                                  const std::vector<ManifestEntry>& entries);

// Decodes an INI file that carries a byte-order mark (UTF-16LE FF FE or
// UTF-8 EF BB BF). False when there is none; the caller decides how to read
// such a file (the Win32 side uses the ANSI code page).
bool DecodeBomText(const std::vector<uint8_t>& bytes, std::wstring* text);

#ifdef _WIN32
// Merges resource FILE 505 into "<installFolder>\updatecfg.ini", which is
// written as UTF-16LE starting with FF FE into a temporary file beside it
// that then replaces it in one move (a failed write leaves the old file). Nothing is written when the
// resource cannot be loaded; write failures are logged and ignored.
void WriteComponentManifest(const std::wstring& installFolder);
// The same with an already parsed manifest; true when the file was written.
// An existing file that cannot be read or decoded is never written over.
bool WriteComponentManifestFrom(const IniTable& manifest, const std::wstring& installFolder);
#endif

}  // namespace lum
