#include "browser/firefox_profiles.h"

#include <map>

#include "base/text.h"

namespace lum {

namespace {

// "Profile7" -> 7; -1 for anything else ("Profile007" included, which
// Firefox never writes and "Profile%d" never forms).
int ProfileNumber(const std::wstring& section) {
  const std::wstring prefix = L"Profile";
  if (section.size() <= prefix.size() || section.size() > prefix.size() + 2) return -1;
  if (section.compare(0, prefix.size(), prefix) != 0) return -1;
  int number = 0;
  for (size_t i = prefix.size(); i < section.size(); ++i) {
    const wchar_t c = section[i];
    if (c < L'0' || c > L'9') return -1;
    number = number * 10 + (c - L'0');
  }
  if (section.size() == prefix.size() + 2 && section[prefix.size()] == L'0') return -1;
  return number;
}

}  // namespace

std::vector<FirefoxProfileEntry> ParseFirefoxProfiles(const std::wstring& text) {
  std::map<int, FirefoxProfileEntry> byNumber;
  int current = -1;
  // A file saved with a byte-order mark keeps it in front of its first section.
  size_t at = !text.empty() && text[0] == 0xFEFF ? 1 : 0;
  while (at <= text.size()) {
    size_t end = text.find_first_of(L"\r\n", at);
    if (end == std::wstring::npos) end = text.size();
    std::wstring line = TrimBlanks(text.substr(at, end - at));
    at = end + 1;
    if (line.empty() || line[0] == L';' || line[0] == L'#') continue;
    if (line[0] == L'[') {
      const size_t close = line.find(L']');
      current = close == std::wstring::npos ? -1 : ProfileNumber(line.substr(1, close - 1));
      if (current >= 0) byNumber[current].number = current;
      continue;
    }
    if (current < 0) continue;
    const size_t equals = line.find(L'=');
    if (equals == std::wstring::npos) continue;
    const std::wstring key = TrimBlanks(line.substr(0, equals));
    const std::wstring value = TrimBlanks(line.substr(equals + 1));
    if (key == L"Path") {
      std::wstring path = value;
      for (wchar_t& c : path)
        if (c == L'/') c = L'\\';
      byNumber[current].path = path;
    } else if (key == L"IsRelative") {
      byNumber[current].relative = value != L"0";
    }
  }
  std::vector<FirefoxProfileEntry> entries;
  for (const auto& item : byNumber)
    if (!item.second.path.empty()) entries.push_back(item.second);
  return entries;
}

std::wstring FirefoxProfileFolder(const std::wstring& firefoxFolder,
                                  const FirefoxProfileEntry& entry) {
  // The folder is deleted from later, by an elevated run, and profiles.ini
  // is the user's to write: only a folder below his own Firefox folder is
  // taken. An absolute path could name any folder of the machine (another
  // user's, a system one), and whether it lies inside this user's own tree
  // could only be judged by handle at the moment of use, so it is not
  // followed at all: a profile kept elsewhere keeps its old extension
  // folder. A path that climbs out, or a relative one written as absolute,
  // is not taken either.
  if (!entry.relative) return std::wstring();
  for (const std::wstring& part : Split(entry.path, L'\\', true))
    if (part == L"..") return std::wstring();
  if (entry.path[0] == L'\\' || entry.path.find(L':') != std::wstring::npos) return std::wstring();
  std::wstring folder = firefoxFolder;
  if (!folder.empty() && folder.back() != L'\\') folder += L'\\';
  return folder + entry.path;
}

}  // namespace lum
