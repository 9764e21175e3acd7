// Portable rules of registry naming: the root name table used by the action
// script and the per-user registry, the names of keys in the security and
// native namespaces, the per-user key mapping, and ancestor chains of key and
// folder paths. No Windows types here, so the host build tests them.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

namespace lum {

// The predefined roots a script or a resolved key can name.
enum class RegRoot {
  kNone,
  kClassesRoot,
  kCurrentUser,
  kLocalMachine,
  kUsers,
  kPerformanceData,
  kDynData,
  kCurrentConfig,
};

// "HKCR" … "HKCC", then "HKEY_CLASSES_ROOT" … "HKEY_CURRENT_CONFIG";
// case-insensitive, first match wins. kNone for anything else.
RegRoot RootFromName(const std::wstring& name);
// The short name ("HKLM"); empty for kNone.
std::wstring NameFromRoot(RegRoot root);

// The prefix of registry object names for the named-security calls:
// "CLASSES_ROOT", "CURRENT_USER", "MACHINE", "USERS"; empty for other roots.
std::wstring SecurityObjectPrefix(RegRoot root);
// "<prefix>\<path>" (just the prefix when the path is empty); empty when the
// root has no security name.
std::wstring RegistryObjectName(RegRoot root, const std::wstring& path);

// The current user's prefix in the native namespace, learned from the native
// name of HKCU "Software\": names longer than nine characters lose their last
// eight ("Software"), so the prefix ends with the backslash. Empty otherwise.
std::wstring CurrentUserPrefixFromSoftwareName(const std::wstring& nativeSoftwareName);

// Maps a native key name ("\REGISTRY\MACHINE\...", "\REGISTRY\USER\...") to
// a root and the rest of the path. The current user's prefix (may be empty)
// wins over the general HKEY_USERS rule. False for anything else.
bool ResolveNativeKeyName(const std::wstring& nativeName, const std::wstring& currentUserPrefix,
                          RegRoot* root, std::wstring* path);

// Per-user mapping of an HKCU key for the user `sid`: the root becomes
// kUsers; "Software\Classes[\rest]" becomes "<sid>_Classes[\rest]", any other
// path "<sid>\<path>". Other roots, or an empty path, are left unchanged and
// answer false.
bool MapUserKeyPath(RegRoot root, const std::wstring& path, const std::wstring& sid,
                    RegRoot* outRoot, std::wstring* outPath);

// True for a key of the classes (HKCR, or "Software\Classes" under HKLM or
// HKCU) that Windows 7 and later share between the 32-bit and the 64-bit
// view: everything there but the COM registrations ("CLSID", "Interface",
// "DirectShow", "Media Type", "MediaFoundation") and "Wow6432Node" itself.
bool SharedBetweenRegistryViews(RegRoot root, const std::wstring& path);

// Built-in service accounts ("S-1-5-18") have fewer than five "-" parts.
bool IsShortSid(const std::wstring& sid);

// The path itself and its parents, nearest first, never a drive ("C:") and
// never empty entries; trailing "\" or "/" are stripped first. `limit` 0
// means unlimited. "C:\a\b\c" -> {"C:\a\b\c", "C:\a\b", "C:\a"};
// "Software\LumBastion" -> {"Software\LumBastion", "Software"}.
std::vector<std::wstring> AncestorChain(const std::wstring& path, size_t limit = 0);

// Registry value name of a per-user shell folder id (CSIDL) in a "User Shell
// Folders" key: 5 -> "Personal", 26 -> "AppData"; empty when the id has none.
std::wstring UserShellFolderValueName(int folderId);
// Same for the machine-wide folders kept under HKLM (22 -> "Common Start
// Menu", 35 -> "Common AppData"); empty when the id is not machine-wide.
std::wstring CommonShellFolderValueName(int folderId);

}  // namespace lum
