// Facts about the installed product that the reports carry: its folder,
// version, language and channels, read at start-up and again after the
// install run has written the new configuration.
#pragma once
#include <string>

namespace lum {

struct InstalledProductFacts {
  std::wstring folder;
  std::wstring version;  // of "ZVVer.dll"
  std::wstring language = L"en";
  std::wstring channel = L"0";
  std::wstring subChannel = L"0";
  std::wstring osText;  // "6.1-x64"
};

// The process-wide record. Written on the main thread at start-up and by the
// install run after its configuration step; read by the closing reports.
InstalledProductFacts& InstalledFacts();
void CollectInstalledProductFacts();

}  // namespace lum
