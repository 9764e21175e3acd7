// Starting a browser with a URL for the user although the installer runs
// elevated: at the user's (medium) integrity unless the browser already runs
// with the installer's rights, and only a browser signed by its publisher.
#pragma once
#include <string>

namespace lum {

// Starts `executable` with the quoted `url` by its launch rule. False when
// the signature does not name the expected publisher (nothing is started)
// or the process cannot be created.
bool LaunchUrlWithBrowser(const std::wstring& executable, const std::wstring& url);

// The installer's token duplicated as a primary token at integrity
// "S-1-16-8192", with the Administrators group deny-only and no privileges
// beyond the change-notify one, and `commandLine` started with it.
bool LaunchAtMediumIntegrity(const std::wstring& commandLine);

}  // namespace lum
