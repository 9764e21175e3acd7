// Firefox's profiles.ini (written by Firefox, read here): the profile folders
// it lists, in the order the installer tries them.
#pragma once
#include <string>
#include <vector>

namespace lum {

struct FirefoxProfileEntry {
  int number = 0;        // the N of [ProfileN], 0-99
  std::wstring path;     // "Path", with '/' turned into '\'
  bool relative = true;  // "IsRelative" is not "0"
};

// Sections [Profile0] to [Profile99] that have a non-empty "Path", ordered by
// number. Names are case-sensitive, as Firefox writes them; a later
// duplicate key wins; lines are split at CR, LF or both.
std::vector<FirefoxProfileEntry> ParseFirefoxProfiles(const std::wstring& text);

// The folder of one entry: a relative path joined to `firefoxFolder`. Empty
// for an absolute one ("IsRelative=0": it could name any folder of the
// machine, and the folder is deleted from by an elevated run), and for a path
// that climbs out with ".." or is written as absolute.
std::wstring FirefoxProfileFolder(const std::wstring& firefoxFolder,
                                  const FirefoxProfileEntry& entry);

}  // namespace lum
