// The driver pass against the stand-in modules of this build, in an install
// folder so long that some modules' paths pass 260 characters: those are
// skipped without being loaded, the others still run, and the progress hook
// sees all six entries.
#include "install/driver_pass_win.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "system/file_ops_win.h"
#include "system/folder_tree_win.h"
#include "system/registry_win.h"

namespace lum {
namespace {

constexpr const wchar_t* kCalls = L"SOFTWARE\\LumBastion\\StandIn\\Calls";

std::wstring Calls(const wchar_t* who) {
  RegKey key;
  std::wstring value;
  if (!key.Open(HKEY_LOCAL_MACHINE, kCalls, KEY_QUERY_VALUE) || !key.ReadString(who, &value))
    return std::wstring();
  return value;
}

// Copies a built module into `folder` through the long-path form, which
// has no 260-character limit.
bool PlaceModule(const std::wstring& folder, const std::wstring& relative) {
  const std::wstring built = ParentFolder(OwnModulePath()) + L"\\product\\" + relative;
  const std::wstring target = L"\\\\?\\" + folder + L"\\" + relative;
  CreateDirectoryW(ParentFolder(target).c_str(), nullptr);
  return CopyFileW(built.c_str(), target.c_str(), FALSE) != FALSE;
}

void CountEntry(int index, void* context) {
  static_cast<std::vector<int>*>(context)->push_back(index);
}

TEST(DriverPassTest, ModulesWhosePathPasses260CharactersAreSkippedTheOthersRun) {
  RegKey::DeleteTree(HKEY_LOCAL_MACHINE, kCalls);
  // "ipc\DrvUtility.dll" (18 characters) ends exactly at 259; the 20- and
  // 21-character paths of the filter and network modules do not fit.
  wchar_t temp[MAX_PATH + 1] = {};
  ASSERT_GT(GetTempPathW(MAX_PATH, temp), 0u);
  std::wstring folder = std::wstring(temp) + L"lum_long";
  const size_t wanted = 259 - 1 - 18;
  ASSERT_LT(folder.size(), wanted);
  CreateDirectoryW(folder.c_str(), nullptr);
  while (folder.size() + 21 < wanted) {
    folder += L"\\" + std::wstring(20, L'd');
    ASSERT_TRUE(CreateDirectoryW((L"\\\\?\\" + folder).c_str(), nullptr) ||
                GetLastError() == ERROR_ALREADY_EXISTS);
  }
  folder += L"\\" + std::wstring(wanted - folder.size() - 1, L'e');
  ASSERT_EQ(wanted, folder.size());
  ASSERT_TRUE(CreateDirectoryW((L"\\\\?\\" + folder).c_str(), nullptr) ||
              GetLastError() == ERROR_ALREADY_EXISTS);
  for (const wchar_t* module : {L"ipc\\DrvUtility.dll", L"filemon\\LumAvFlt.dll",
                                L"netmon\\Lumnetctrl.dll", L"ipc\\sbmon.dll"})
    ASSERT_TRUE(PlaceModule(folder, module)) << module << " " << GetLastError();

  std::vector<int> entries;
  RunDriverPass(folder, &CountEntry, &entries);
  EXPECT_EQ((std::vector<int>{0, 1, 2, 3, 4, 5}), entries);
  EXPECT_EQ(L"-;", Calls(L"ipc\\DrvUtility.dll!InstallDriverForLumSafeSetup"));
  EXPECT_EQ(L"", Calls(L"filemon\\LumAvFlt.dll!Install"));
  EXPECT_EQ(L"", Calls(L"netmon\\Lumnetctrl.dll!DllRegisterServer"));
  EXPECT_EQ(L"-;", Calls(L"ipc\\sbmon.dll!InstallEx64"));
}

}  // namespace
}  // namespace lum
