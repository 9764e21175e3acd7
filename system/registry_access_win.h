// Registry roots by name and by handle, and repair of access rights on the
// product's keys and folders (a security product protects its own keys, and
// earlier versions or other tools may have left rights that stop the
// installer or the product's non-elevated parts).
#pragma once
#include <windows.h>
// These build on windows.h.
#include <accctrl.h>
#include <aclapi.h>

#include <string>
#include <vector>

#include "system/acl_repair_plan.h"
#include "system/key_access_rule.h"
#include "system/registry_roots.h"
#include "system/registry_win.h"

namespace lum {

// Predefined root handle of a root (nullptr for kNone) and back (kNone for a
// handle that is not a predefined root).
HKEY HkeyFromRoot(RegRoot root);
RegRoot RootFromHkey(HKEY key);
// The root name table (case-insensitive, first match wins): nullptr when
// unknown. NameFromRootKey gives the short name or empty text.
HKEY RootKeyFromName(const std::wstring& name);
std::wstring NameFromRootKey(HKEY root);

// Root and path of an open key: a predefined root is itself with an empty
// path; any other handle is named by the native key-name query and mapped
// (HKLM, the current user's hive as HKCU, other users as HKU). False when the
// name cannot be read or belongs to no root.
bool ResolveKeyPath(HKEY key, HKEY* root, std::wstring* path);

// Grants rights on a named object (registry object names are
// "MACHINE\Software\...", in the view RegKey uses; files are paths), taking
// ownership for SYSTEM or the Administrators (never for another trustee) when
// the object's DACL cannot be read or written. The object is opened as
// itself: a registry link is not followed, a file or folder that is a link is
// refused (ERROR_CANT_ACCESS_FILE), and the rights are read and written
// through that handle; the new entry reaches what is made inside later, not
// what is there already. Virtual so a test can watch what is asked of objects
// whose rights Wine does not store (files and folders).
class CAccessPermission {
 public:
  virtual ~CAccessPermission() = default;
  // Removes the trustee's deny entries (modes grant and set), merges one
  // inheritable explicit entry and writes the DACL back.
  virtual bool GrantAccess(const std::wstring& objectName, SE_OBJECT_TYPE objectType,
                           ACCESS_MODE accessMode, const std::wstring& trustee, DWORD rights);
  // Makes the trustee the owner (with the take-ownership and restore
  // privileges enabled). True only when the owner was set. GrantAccess asks
  // it only for SYSTEM or the Administrators.
  virtual bool TakeOwnership(const std::wstring& objectName, SE_OBJECT_TYPE objectType,
                             const std::wstring& trustee);
};

// Name of the account running the installer ("DOMAIN\user" is not used: the
// plain user name, as GetUserName answers); empty when it cannot be read.
std::wstring CurrentUserName();

// Grants `rights` on the key `path` below `rootOrHandle` (a predefined root or
// an open key, resolved through ResolveKeyPath) to `trustee` (the current
// user when empty). `permission` nullptr uses a plain CAccessPermission.
bool GrantRegistryKeyAccess(HKEY rootOrHandle, const std::wstring& path, const std::wstring& trustee,
                            DWORD rights, CAccessPermission* permission = nullptr);

// The trustee's present access to the key, judged from the key's DACL: a deny
// entry for the trustee (or a group that names everyone) covering any of
// `rights` -> kDenied; allow entries covering all of `rights` -> kAllowed.
// kNeither when the key cannot be read or neither holds. Entries of other
// types are skipped unread (JudgeKeyAccess).
KeyAccess EvaluateKeyAccess(HKEY root, const std::wstring& path, const std::wstring& trustee,
                            DWORD rights);

// Strict: grant unless the access is already allowed. Not strict: grant only
// when it is explicitly denied. Empty path or trustee fails.
bool EnsureKeyAccess(HKEY root, const std::wstring& path, const std::wstring& trustee, DWORD rights,
                     bool strict, CAccessPermission* permission = nullptr);

// The first step of the install: repairs the rights of the product's
// registry branches and folders. Silent: whatever could be obtained stays.
void RepairProductAcls(const std::wstring& installFolder, CAccessPermission* permission = nullptr);

}  // namespace lum
