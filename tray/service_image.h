// The program that may serve the tray service pipe: the product's service
// under the install folder.
#pragma once
#include <string>

namespace lum {
namespace tray {

constexpr const wchar_t* kServiceImage = L"safemon\\ZVTrayService.exe";

// Whether `image` is `installFolder` + kServiceImage (case-insensitive; the
// folder with or without its trailing backslash). False for an empty folder.
bool IsServiceImageOf(const std::wstring& image, const std::wstring& installFolder);

}  // namespace tray
}  // namespace lum
