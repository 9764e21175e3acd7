// Configuration of the browser and partner integration: identifiers that
// belong to the product and to the stores it publishes in, not to the logic.
#pragma once

namespace lum {

// The product maker's publisher names as they appear in its code-signing
// certificates (signer kind 5).
constexpr const wchar_t* kMakerPublishers[] = {L"Lum Technology Co., Ltd.", L"Lum Software Ltd.",
                                               L"Lum Bastion Security", L"Lum Network"};

// The web-protection extension and its native host.
constexpr const wchar_t* kChromeExtensionId = L"ekccokebfafkgegcfanihaiknkjpemib";
constexpr const wchar_t* kNativeHostName = L"com.lumbastion.webguard";
// The Chrome Web Store's public update service for external extensions.
constexpr const wchar_t* kChromeStoreUpdateUrl = L"https://clients2.google.com/service/update2/crx";
// The Firefox extension the product ships now, and the one it replaced.
constexpr const wchar_t* kFirefoxExtensionId = L"webguard@lumbastion.com";
constexpr const wchar_t* kOldFirefoxExtensionId = L"webprotection@lumsafe.com";

// The campaign identifier under which the installer records a campaign's
// reward hash (32 lowercase hexadecimal digits).
constexpr const wchar_t* kCampaignId = L"4f6c2b9e0d1a47e3b58c96a7d2e01f35";

// Key of the product's configuration cipher for the promotion tips.
constexpr const char* kPromoTipsKey = "kesvarn";

}  // namespace lum
