// What a silent install and a silent reinstall leave of the machine's rights,
// against Wine's real registry DACLs: the hives' "Software" keys keep their
// owner, group and DACL to the byte, only the product's own keys carry the
// repaired grants, and no standard user nor the installing account is asked
// write access to the program folders. Before anything is installed: a
// custom install folder that is a planted link stops the run.
#include <gtest/gtest.h>
#include <windows.h>
// These build on windows.h.
#include <aclapi.h>
#include <sddl.h>

#include <cwchar>
#include <string>
#include <utility>
#include <vector>

#include "base/text.h"
#include "system/registry_access_win.h"
#include "system/registry_win.h"
#include "system/win_handle_win.h"
#include "tests/e2e/e2e_support.h"
#include "tests/win32/folder_rights.h"
#include "tests/wine/planted_link.h"

namespace lum {
namespace {

using e2e::InstallerPath;
using e2e::ReadText;
using e2e::RegString;
using e2e::RunProgram;
using e2e::TempFolder;

struct KeyRights {
  std::vector<uint8_t> bytes;  // self-relative descriptor: owner, group, DACL
  std::wstring sddl;
};

KeyRights RightsOf(HKEY root, const wchar_t* path, REGSAM view) {
  KeyRights rights;
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, path, 0, READ_CONTROL | view, &key) != ERROR_SUCCESS) return rights;
  UniqueHkey owned(key);
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  const SECURITY_INFORMATION what =
      OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
  if (GetSecurityInfo(key, SE_REGISTRY_KEY, what, nullptr, nullptr, nullptr, nullptr,
                      &descriptor) != ERROR_SUCCESS)
    return rights;
  UniqueLocal descriptorOwner(descriptor);
  const auto* start = static_cast<const uint8_t*>(descriptor);
  rights.bytes.assign(start, start + GetSecurityDescriptorLength(descriptor));
  wchar_t* text = nullptr;
  if (ConvertSecurityDescriptorToStringSecurityDescriptorW(descriptor, SDDL_REVISION_1, what, &text,
                                                           nullptr)) {
    rights.sddl = text;
    LocalFree(text);
  }
  return rights;
}

struct MachineKey {
  const wchar_t* name;
  HKEY root;
  const wchar_t* path;
  REGSAM view;
};
const MachineKey kMachineKeys[] = {
    {L"HKLM\\Software (32-bit view)", HKEY_LOCAL_MACHINE, L"Software", KEY_WOW64_32KEY},
    {L"HKLM\\Software (64-bit view)", HKEY_LOCAL_MACHINE, L"Software", KEY_WOW64_64KEY},
    {L"HKCU\\Software", HKEY_CURRENT_USER, L"Software", 0},
};

// First in this file: the product is not installed yet, so "/s:" names the
// folder.
TEST(MachineRightsE2eTest, CustomInstallFolderThatIsAPlantedLinkStopsTheRunWith109) {
  const std::wstring installer = InstallerPath();
  if (installer.empty()) GTEST_SKIP() << "LUM_INSTALLER is not set";
  const std::wstring root = L"C:\\lum_planted_install";
  const std::wstring target = root + L"\\elsewhere";
  const std::wstring planted = root + L"\\Tools\\Bastion";
  ASSERT_TRUE(CreateDirectoryW(root.c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryW(target.c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryW((root + L"\\Tools").c_str(), nullptr));
  if (!planted::PlantFolderLink(planted, target)) GTEST_SKIP() << "no link could be planted";

  const std::wstring log = TempFolder() + L"lum_planted_install_e2e.log";
  EXPECT_EQ(109, RunProgram(installer, L"/s:" + planted + L" /log:" + log))
      << WideToUtf8(ReadText(log));
  const std::wstring text = ReadText(log);
  EXPECT_NE(std::wstring::npos,
            text.find(L"install folder outside Program Files: writable for administrators only | " +
                      planted + L" | 1920"))
      << WideToUtf8(text);
  // Nothing placed, through the link or anywhere else.
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW((target + L"\\*").c_str(), &data);
  size_t entries = 0;
  if (find != INVALID_HANDLE_VALUE) {
    do {
      if (wcscmp(data.cFileName, L".") != 0 && wcscmp(data.cFileName, L"..") != 0) ++entries;
    } while (FindNextFileW(find, &data));
    FindClose(find);
  }
  EXPECT_EQ(0u, entries) << "files appeared behind the planted link";
  EXPECT_EQ(std::wstring::npos, text.find(L"extract payload")) << WideToUtf8(text);
  EXPECT_EQ(L"<none>",
            RegString(HKEY_LOCAL_MACHINE,
                      L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\ZVSafeMain.exe",
                      L"Path"));
  planted::RemovePlantedLink(planted);
}

// Each "grant <trustee> rights 0x<hex> | <object> | <code>" line of the log
// on `object`, as (trustee, rights).
std::vector<std::pair<std::wstring, unsigned long>> GrantsOn(const std::wstring& text,
                                                             const std::wstring& object) {
  std::vector<std::pair<std::wstring, unsigned long>> grants;
  const std::wstring tail = L" | " + object + L" | ";
  for (size_t at = text.find(L"grant "); at != std::wstring::npos;
       at = text.find(L"grant ", at + 1)) {
    const size_t end = text.find(L'\n', at);
    const std::wstring line = text.substr(at, end == std::wstring::npos ? end : end - at);
    const size_t rights = line.find(L" rights 0x");
    if (rights == std::wstring::npos || line.find(tail) == std::wstring::npos) continue;
    grants.emplace_back(line.substr(6, rights - 6),
                        std::wcstoul(line.c_str() + rights + 10, nullptr, 16));
  }
  return grants;
}

TEST(MachineRightsE2eTest,
     InstallAndReinstallLeaveTheHivesRightsAsTheyWereAndRepairOnlyTheProduct) {
  const std::wstring installer = InstallerPath();
  if (installer.empty()) GTEST_SKIP() << "LUM_INSTALLER is not set";
  std::vector<KeyRights> before;
  for (const MachineKey& key : kMachineKeys) {
    before.push_back(RightsOf(key.root, key.path, key.view));
    ASSERT_FALSE(before.back().bytes.empty()) << WideToUtf8(key.name);
  }

  const std::wstring log = TempFolder() + L"lum_rights_e2e.log";
  ASSERT_EQ(0, RunProgram(installer, L"/s /log:" + log)) << WideToUtf8(ReadText(log));
  // The reinstall finds the product's keys and repairs them.
  ASSERT_EQ(0, RunProgram(installer, L"/s /log:" + log)) << WideToUtf8(ReadText(log));

  for (size_t i = 0; i < before.size(); ++i) {
    const KeyRights after =
        RightsOf(kMachineKeys[i].root, kMachineKeys[i].path, kMachineKeys[i].view);
    EXPECT_EQ(before[i].bytes, after.bytes)
        << WideToUtf8(kMachineKeys[i].name) << " was " << WideToUtf8(before[i].sddl) << ", now "
        << WideToUtf8(after.sddl);
  }
  // Nothing outside the product was even asked for.
  const std::wstring text = ReadText(log);
  EXPECT_NE(std::wstring::npos, text.find(L"MACHINE\\Software\\LumBastion")) << WideToUtf8(text);
  for (const wchar_t* outside :
       {L"| MACHINE\\Software |", L"| CURRENT_USER\\Software |", L"| C:\\Program Files (x86) |",
        L"| C:\\Program Files (x86)\\Lum |"}) {
    EXPECT_EQ(std::wstring::npos, text.find(outside)) << WideToUtf8(outside);
  }

  // The install folder's rights as the installer asks for them (Wine keeps
  // no folder DACL to read back): write only for SYSTEM and the
  // Administrators, read and execute for Users, nothing for the installing
  // account, in the first install and in the reinstall alike.
  const std::wstring user = CurrentUserName();
  const std::wstring installDir =
      RegString(HKEY_LOCAL_MACHINE,
                L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\ZVSafeMain.exe", L"Path");
  ASSERT_NE(L"<none>", installDir);
  const auto grants = GrantsOn(text, installDir);
  EXPECT_GE(grants.size(), 6u) << WideToUtf8(text);  // three each run
  const unsigned long kWrite = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_WRITE_EA |
                               FILE_WRITE_ATTRIBUTES | FILE_DELETE_CHILD | DELETE | WRITE_DAC |
                               WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;
  for (const auto& grant : grants) {
    EXPECT_FALSE(EqualsNoCase(grant.first, user)) << "the installing account is granted rights";
    if (grant.second & kWrite) {
      EXPECT_TRUE(grant.first == L"SYSTEM" || grant.first == L"Administrators")
          << WideToUtf8(grant.first) << " may write the install folder";
    }
  }
  // Nor on the machine's product keys.
  for (const wchar_t* key : {L"MACHINE\\Software\\LumBastion", L"MACHINE\\Software\\LumSafe"}) {
    for (const auto& grant : GrantsOn(text, key))
      EXPECT_FALSE(EqualsNoCase(grant.first, user)) << WideToUtf8(key);
  }

  // The product's keys: full rights for Administrators and SYSTEM, read
  // for Users, nothing denied to the installing user.
  for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
    for (const wchar_t* key : {L"Software\\LumBastion", L"Software\\LumSafe"}) {
      RegKey probe;
      if (!probe.Open(root, key, KEY_READ)) continue;  // not every key is written
      const std::string where =
          (root == HKEY_LOCAL_MACHINE ? "HKLM\\" : "HKCU\\") + WideToUtf8(key);
      EXPECT_EQ(KeyAccess::kAllowed,
                EvaluateKeyAccess(root, key, L"Administrators", kKeyFullRights))
          << where;
      EXPECT_EQ(KeyAccess::kAllowed, EvaluateKeyAccess(root, key, L"SYSTEM", kKeyFullRights))
          << where;
      EXPECT_NE(KeyAccess::kDenied, EvaluateKeyAccess(root, key, L"Users", kKeyReadRights))
          << where;
      EXPECT_NE(KeyAccess::kDenied, EvaluateKeyAccess(root, key, user, kKeyFullRights)) << where;
    }
  }
}


// The text between `before` and the next " | " on the first line holding both.
std::wstring LogField(const std::wstring& text, const std::wstring& before) {
  const size_t at = text.find(before);
  if (at == std::wstring::npos) return std::wstring();
  const size_t start = at + before.size();
  const size_t end = text.find(L" | ", start);
  return end == std::wstring::npos ? std::wstring() : text.substr(start, end - start);
}

TEST(MachineRightsE2eTest, ElevatedRunLoadsTheBaseModuleOnlyFromAFolderForSystemAndAdministrators) {
  const std::wstring installer = InstallerPath();
  if (installer.empty()) GTEST_SKIP() << "LUM_INSTALLER is not set";
  // Another instance holds the single-instance mutex: the run writes and
  // binds the base module, then ends with 105 before it installs anything.
  UniqueHandle instance(CreateMutexW(nullptr, TRUE, L"Local\\ZLumSafeI18NInstaller"));
  ASSERT_TRUE(instance);
  const std::wstring log = TempFolder() + L"lum_base_module_e2e.log";
  ASSERT_EQ(105, RunProgram(installer, L"/s /BNinstall /log:" + log)) << WideToUtf8(ReadText(log));
  const std::wstring text = ReadText(log);

  // Written to a folder of its own under the Windows temporary folder...
  const std::wstring written = LogField(text, L"write base module | ");
  ASSERT_FALSE(written.empty()) << WideToUtf8(text);
  const std::wstring folder = written.substr(0, written.find_last_of(L'\\'));
  wchar_t windows[MAX_PATH] = {};
  ASSERT_NE(0u, GetSystemWindowsDirectoryW(windows, MAX_PATH));
  EXPECT_EQ(0u, folder.find(std::wstring(windows) + L"\\Temp\\")) << WideToUtf8(folder);
  // ...that only SYSTEM and the Administrators may write to...
  // (Wine keeps no folder DACL; there the startup steps' test checks the
  // rights the folder is created with.)
  if (FolderRightsAreKept()) {
    EXPECT_EQ("", FolderWritersOtherThanSystemAndAdministrators(folder)) << WideToUtf8(folder);
  }
  // ...and the loader mapped the module from exactly that file.
  EXPECT_TRUE(EqualsNoCase(written, LogField(text, L"bind base module, mapped from ")))
      << WideToUtf8(text);
  EXPECT_NE(std::wstring::npos, text.find(L"load base module | " + written + L" | 0"))
      << WideToUtf8(text);
  EXPECT_EQ(std::wstring::npos, text.find(L"bind base module: refused")) << WideToUtf8(text);
}

}  // namespace
}  // namespace lum
