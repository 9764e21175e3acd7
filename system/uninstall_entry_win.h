// The product's entry in the list of installed programs. Written in the
// 64-bit registry view on a 64-bit Windows, where the list lives; each value
// written is logged.
#pragma once
#include <string>

namespace lum {

constexpr const wchar_t* kUninstallKey =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\LumBastion";

struct UninstallEntryTexts {
  std::wstring installFolder;
  std::wstring displayName;  // language text "title"
  std::wstring publisher;    // language text "publisher"
  std::wstring version;      // "DisplayVersion"; not written when empty
};

// 0, or the registry error of creating the key (then nothing is written).
long WriteUninstallEntry(const UninstallEntryTexts& texts);

}  // namespace lum
