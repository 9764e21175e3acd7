// Which rights the installer repairs on the product's registry branches and
// folders before anything is copied. Pure planning from injected facts; the
// Win32 side (system/registry_access_win.h) gathers the facts and applies it.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "system/registry_roots.h"

namespace lum {

constexpr uint32_t kKeyFullRights = 0xF003F;     // KEY_ALL_ACCESS
constexpr uint32_t kKeyReadRights = 0x20019;     // KEY_READ
constexpr uint32_t kFileFullRights = 0x1F01FF;   // FILE_ALL_ACCESS
constexpr uint32_t kFileReadRights = 0x1200A9;   // read and execute

struct AclRepairFacts {
  std::wstring currentUser;          // account name of the installing user
  bool administratorsExists = true;  // the "Administrators" account exists here
  bool usersExists = true;           // the "Users" account exists here
  std::wstring commonAppData;        // CSIDL_COMMON_APPDATA (may be empty)
  std::wstring userAppData;          // CSIDL_APPDATA (may be empty)
  bool commonProductFolderExists = false;  // <commonAppData>\LumBastion
  bool userProductFolderExists = false;    // <userAppData>\LumBastion
};

struct KeyGrant {
  RegRoot root;
  std::wstring path;
  std::wstring trustee;
  uint32_t rights;
  bool strict;  // grant unless already allowed (else only when denied)
};

struct FolderGrant {
  std::wstring path;
  std::wstring trustee;
  uint32_t rights;
};

struct AclRepairPlan {
  std::vector<KeyGrant> keys;
  std::vector<FolderGrant> folders;
};

// The product keys (HKLM and HKCU "Software\LumBastion" and "Software\LumSafe"),
// then the install folder and the product's application-data folders: each
// of them alone, never a parent (which belongs to the machine or to other
// programs) and never a drive root.
//
// Who may write: SYSTEM and the Administrators everywhere. The installing
// account and "Users" only read the machine's keys, the install folder and
// the common application-data folder (the product's services load from and
// read them). Two exceptions, where the product's unelevated parts (main
// window, tray program) write the user's own settings: the user's
// "Software\LumBastion" and "Software\LumSafe" keys and his roaming
// "<AppData>\LumBastion" folder, both inside his own profile; there the
// installing account gets full control and "Users" nothing.
AclRepairPlan PlanProductAclRepair(const std::wstring& installFolder, const AclRepairFacts& facts);

}  // namespace lum
