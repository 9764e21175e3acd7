// The browsers installed on this machine and the user's default one.
//
// Threading: any thread; every call reads the registry and the files afresh.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace lum {

struct BrowserRecord {
  int kind = 0;
  // "FileDescription" of the executable's first version translation; a
  // browser without one is not recorded.
  std::wstring description;
  std::wstring path;
  std::wstring progId;
  // From the maker's Uninstall keys ("DisplayVersion", "DisplayIcon",
  // "InstallLocation"); empty for the other browsers.
  std::wstring version;
  std::wstring iconPath;
  std::wstring installFolder;
  std::wstring openCommand;  // the executable in, "%1" for the URL
  std::wstring shortName;    // BrowserShortName(kind, path)
  uint8_t flag = 0;
};

// Every browser found; true when the list is not empty.
bool DetectBrowsers(std::vector<BrowserRecord>* browsers);

// The one record of a kind, when that browser is installed.
bool DetectChrome(BrowserRecord* record);
bool DetectEdge(BrowserRecord* record);

// "FileDescription" of the first translation of the version resource.
bool ReadFileDescription(const std::wstring& path, std::wstring* description);

// The default browser's executable (UserChoice, else the "http"
// association); "MicrosoftEdge" for Edge on Windows 10; empty when unknown.
std::wstring DefaultBrowserPath();
// The executable of the plain "http" association, empty when none.
std::wstring HttpAssociationPath();
// The statistics' name of the default browser ("unkn" when there is none).
std::wstring DefaultBrowserShortName();

}  // namespace lum
