// The product's web protection in the browsers: the native messaging host
// both browsers talk to, the Chrome extension offered through Chrome's
// external-extension key, the Firefox extension refreshed after its files
// change, and the older Firefox extension that the product replaced. Nothing
// is installed into a browser profile.
//
// Threading: the install worker.
#pragma once
#include <string>

#include "session/session_settings.h"

namespace lum {

constexpr const wchar_t* kChromeHostKey = L"SOFTWARE\\Google\\Chrome\\NativeMessagingHosts";
constexpr const wchar_t* kFirefoxHostKey = L"SOFTWARE\\Mozilla\\NativeMessagingHosts";
constexpr const wchar_t* kChromeExtensionsKey = L"SOFTWARE\\Google\\Chrome\\Extensions";
constexpr const wchar_t* kFirefoxExtensionsKey = L"SOFTWARE\\Mozilla\\Firefox\\Extensions";

// The installed product's folder from App Paths with a trailing backslash;
// empty when missing or 260 characters or longer.
std::wstring ProductFolderForBrowsers();

// Default value of hostKey\<host name> = manifestPath, in the 32-bit and
// then the 64-bit registry view. True when both were written.
bool RegisterNativeHost(const std::wstring& hostKey, const std::wstring& manifestPath);

// The extension folder exists in Chrome's default profile.
bool ChromeExtensionPresent();
// "update_url" under Chrome's external-extension key when Chrome is
// installed and the extension is not in its default profile.
bool RegisterChromeExtension();

// The post-install step: the hosts (the Chrome one through "SomProxy.dll"
// when the product carries it), the Chrome extension on a first install.
// The reports and the readiness wait that follow are the caller's.
void RegisterBrowserIntegration(const std::wstring& installDir, const SessionSettings& session);

// Makes Firefox reload the registered extension after its files changed.
bool RefreshFirefoxExtension();

// The first profile folder of profiles.ini that exists; empty when none.
std::wstring FirstFirefoxProfile();
// The older extension's folder in that profile (empty when no profile), for
// the install run to delete with its tree deleter.
std::wstring OldFirefoxExtensionFolder();

}  // namespace lum
