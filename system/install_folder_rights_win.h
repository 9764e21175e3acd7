// The rights of an install folder outside Program Files. The elevated
// installer (and the product's services later) load the product's modules
// from the install folder, so no standard user may write there. Under
// Program Files that holds by inheritance; a folder elsewhere (a custom
// "C:\Tools\Bastion") would inherit the drive's "Authenticated Users:
// Modify" and let any user swap a module between placement and load.
#pragma once
#include <string>

namespace lum {

// Inside Program Files (either view): nothing to do, true. Elsewhere: every
// missing parent is made with the rights below (never inheriting the drive
// root's), a parent that is a link or a file refuses the folder; the folder
// is made or taken over with the rights of a shared product folder
// (SecureSharedProductFolder, kSharedProductFolderSddl: SYSTEM and the
// Administrators full control, users read, Administrators as owner, nothing
// inherited; a link there is refused), and everything already inside gets
// the Administrators as owner and the same rights, each entry through a
// handle on itself (links are reset, not entered). Logged, with the
// descriptor asked for; false when refused or not secured, and the install
// must then stop (kExitInstallDirUnwritable).
// Left as they are: parents that existed before the run (a user who owns one
// could still rename it away; the folder below keeps its rights).
bool SecureInstallFolder(const std::wstring& installDir);

}  // namespace lum
