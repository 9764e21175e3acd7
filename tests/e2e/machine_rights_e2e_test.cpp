// What a silent install and a silent reinstall leave of the machine's rights,
// against Wine's real registry DACLs: the hives' "Software" keys keep their
// owner, group and DACL to the byte, and only the product's own keys carry
// the repaired grants.
#include <gtest/gtest.h>
#include <windows.h>
// These build on windows.h.
#include <aclapi.h>
#include <sddl.h>

#include <string>
#include <vector>

#include "base/text.h"
#include "system/registry_access_win.h"
#include "system/registry_win.h"
#include "system/win_handle_win.h"
#include "tests/e2e/e2e_support.h"
#include "tests/win32/folder_rights.h"

namespace lum {
namespace {

using e2e::InstallerPath;
using e2e::ReadText;
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

  // The product's keys: full rights for Administrators and SYSTEM, read
  // for Users, nothing denied to the installing user.
  const std::wstring user = CurrentUserName();
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
