// profiles.ini as Firefox (or anyone who can write the user's profile
// folder) leaves it: every answer is a numbered profile with a path, in
// order, and a folder formed from it always lies below the Firefox folder.
#include <cstddef>
#include <cstdint>
#include <string>

#include "base/text.h"
#include "browser/firefox_profiles.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::wstring text = lum::Utf8ToWide(std::string(reinterpret_cast<const char*>(data), size));
  int last = -1;
  for (const lum::FirefoxProfileEntry& entry : lum::ParseFirefoxProfiles(text)) {
    if (entry.number <= last || entry.number > 99 || entry.path.empty()) __builtin_trap();
    if (entry.path.find(L'/') != std::wstring::npos) __builtin_trap();
    last = entry.number;
    const std::wstring folder = lum::FirefoxProfileFolder(L"C:\\Users\\u\\Mozilla\\Firefox", entry);
    if (folder.empty()) continue;
    for (const std::wstring& part : lum::Split(folder, L'\\', true))
      if (part == L"..") __builtin_trap();
    if (folder.compare(0, 27, L"C:\\Users\\u\\Mozilla\\Firefox\\") != 0)
      __builtin_trap();
  }
  return 0;
}
