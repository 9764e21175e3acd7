// Authorized applications of the Windows Firewall, through its COM objects
// "HNetCfg.FwMgr" and "HNetCfg.FwAuthorizedApplication". Failures (service
// stopped, policy managed by the domain, COM unavailable) are return values
// only: the install carries on. Any thread; each call initialises COM for
// itself.
#pragma once
#include <string>
#include <vector>

namespace lum {

// Authorizes `imagePath` in the current profile. An existing authorization
// that is enabled, scope all and IP version any is left untouched (true);
// otherwise a fresh one (name, scope all, IP any, enabled, image) is added.
bool AuthorizeApplication(const std::wstring& imagePath, const std::wstring& displayName);

// Removes `imagePath` from the domain, standard and current profiles; true
// only when all three removals succeeded (one failure does not stop the rest).
bool RevokeApplication(const std::wstring& imagePath);

}  // namespace lum
