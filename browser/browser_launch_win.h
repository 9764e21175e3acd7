// Starting a browser with a URL for the user although the installer runs
// elevated: at the user's (medium) integrity unless the browser already runs
// with the installer's rights, and only a browser signed by its publisher.
#pragma once
#include <string>

namespace lum {

// Starts `executable` with the quoted `url` by its launch rule, in the
// browser's own folder (system/user_rights_start_win.h). False when
// the signature does not name the expected publisher (nothing is started)
// or the process cannot be created.
bool LaunchUrlWithBrowser(const std::wstring& executable, const std::wstring& url);

}  // namespace lum
