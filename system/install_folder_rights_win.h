// The rights of an install folder outside Program Files. The elevated
// installer (and the product's services later) load the product's modules
// from the install folder, so no standard user may write there. Under
// Program Files that holds by inheritance; a folder elsewhere (a custom
// "C:\Tools\Bastion") would inherit the drive's "Authenticated Users:
// Modify" and let any user swap a module between placement and load.
#pragma once
#include <string>

namespace lum {

// Inside Program Files (either view): nothing to do, true. Elsewhere: makes
// the folder (its parents as they come) and gives it the rights of a shared
// product folder (SecureSharedProductFolder: SYSTEM and the Administrators
// full control, users read, Administrators as owner, nothing inherited; a
// link there is refused). Logged; false when it could not be secured.
bool SecureInstallFolder(const std::wstring& installDir);

}  // namespace lum
