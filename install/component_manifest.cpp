#include "install/component_manifest.h"

#include <map>
#include <utility>

#include "base/text.h"

namespace lum {
namespace {

// The INI text as the private-profile writer sees it: lines before the first
// header, then sections that each own their header and the lines up to the
// next header. Lines are kept verbatim so untouched content survives.
struct IniLine {
  std::wstring text;
  std::wstring key;  // lower-cased key name; empty for blank lines
};

struct IniSection {
  std::wstring header;  // verbatim header line
  std::vector<IniLine> lines;
};

struct IniDocument {
  std::vector<std::wstring> preamble;
  std::vector<IniSection> sections;
  std::map<std::wstring, size_t> index;  // lower-cased name -> first section
};

// "[name]" with optional blanks around; the name ends at the last ']'.
bool SectionName(const std::wstring& line, std::wstring* name) {
  const std::wstring trimmed = TrimBlanks(line);
  if (trimmed.empty() || trimmed[0] != L'[') return false;
  const size_t close = trimmed.rfind(L']');
  if (close == std::wstring::npos || close == 0) return false;
  *name = TrimBlanks(trimmed.substr(1, close - 1));
  return true;
}

// The key of an entry line: the text before '=' (or the whole line), trimmed.
std::wstring EntryKey(const std::wstring& line) {
  return ToLowerAscii(TrimBlanks(line.substr(0, line.find(L'='))));
}

IniDocument ParseDocument(const std::wstring& text) {
  IniDocument doc;
  std::vector<std::wstring> lines = Split(text, L'\n', false);
  if (!lines.empty() && lines.back().empty()) lines.pop_back();
  for (std::wstring& line : lines) {
    if (!line.empty() && line.back() == L'\r') line.pop_back();
    std::wstring name;
    if (SectionName(line, &name)) {
      doc.index.emplace(ToLowerAscii(name), doc.sections.size());  // the first one wins
      doc.sections.push_back(IniSection{line, {}});
    } else if (doc.sections.empty()) {
      doc.preamble.push_back(line);
    } else {
      doc.sections.back().lines.push_back(IniLine{line, EntryKey(line)});
    }
  }
  return doc;
}

void SetValue(IniDocument& doc, const std::wstring& section, const std::wstring& key,
              const std::wstring& value) {
  const std::wstring line = key + L"=" + value;
  const std::wstring lowerName = ToLowerAscii(section);
  auto found = doc.index.find(lowerName);
  if (found == doc.index.end()) {
    found = doc.index.emplace(lowerName, doc.sections.size()).first;
    doc.sections.push_back(IniSection{L"[" + section + L"]", {}});
  }
  std::vector<IniLine>& lines = doc.sections[found->second].lines;
  const std::wstring lowerKey = ToLowerAscii(key);
  size_t insertAt = 0;  // after the last entry, so trailing blank lines stay last
  for (size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].key == lowerKey) {
      lines[i].text = line;
      return;
    }
    if (!lines[i].key.empty()) insertAt = i + 1;
  }
  lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(insertAt), IniLine{line, lowerKey});
}

std::wstring Serialise(const IniDocument& doc) {
  std::wstring out;
  for (const std::wstring& line : doc.preamble) out += line + L"\r\n";
  for (const IniSection& section : doc.sections) {
    out += section.header + L"\r\n";
    for (const IniLine& line : section.lines) out += line.text + L"\r\n";
  }
  return out;
}

std::wstring ReplaceAll(std::wstring text, const std::wstring& from, const std::wstring& to) {
  for (size_t pos = text.find(from); pos != std::wstring::npos;
       pos = text.find(from, pos + to.size())) {
    text.replace(pos, from.size(), to);
  }
  return text;
}

}  // namespace

std::vector<ManifestEntry> BuildManifestEntries(const IniTable& manifest,
                                                const std::wstring& installFolder) {
  std::vector<ManifestEntry> entries;
  for (const std::wstring& section : manifest.SectionNames()) {
    if (section.empty()) continue;  // a nameless section cannot be written back
    ManifestEntry entry;
    entry.section = section;
    entry.ver = manifest.Value(section, L"ver");
    entry.path = ReplaceAll(ToLowerAscii(manifest.Value(section, L"path")), kProductPathPlaceholder,
                            installFolder);
    entries.push_back(std::move(entry));
  }
  return entries;
}

std::wstring MergeManifestIntoIni(const std::wstring& existing,
                                  const std::vector<ManifestEntry>& entries) {
  IniDocument doc = ParseDocument(existing);
  for (const ManifestEntry& entry : entries) {
    SetValue(doc, entry.section, L"ver", entry.ver);
    SetValue(doc, entry.section, L"path", entry.path);
  }
  return Serialise(doc);
}

bool DecodeBomText(const std::vector<uint8_t>& bytes, std::wstring* text) {
  if (bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) {
    *text = Utf16LeToWide(bytes.data() + 2, bytes.size() - 2);
    return true;
  }
  if (bytes.size() >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) {
    *text = Utf8ToWide(std::string(bytes.begin() + 3, bytes.end()));
    return true;
  }
  return false;
}

}  // namespace lum
