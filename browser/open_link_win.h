// Opening the installer's links (licence, privacy, cloud analysis) in a
// browser the user would expect.
#pragma once
#include <string>

namespace lum {

// Modes of OpenLink: 7 prefers Edge, 9 prefers Chrome; any other mode opens
// the user's default browser.
constexpr int kOpenLinkDefaultBrowser = 0;
constexpr int kOpenLinkPreferEdge = 7;
constexpr int kOpenLinkPreferChrome = 9;

// False for an empty URL or when no browser could be started.
bool OpenLink(const std::wstring& url, int mode);

}  // namespace lum
