// DLLs planted beside the installer, in the folder it was downloaded to. A
// copy of the installer sits there with a DLL under the name of every library
// it imports or loads that Windows does not always take from the system
// folder. Wine is told to prefer such a DLL to its own (WINEDLLOVERRIDES
// "n,b"), which is what Windows does for a DLL found in the program's folder:
// a load-time import of one of these names, or a load by bare name, would run
// the planted code, which leaves a marker file beside itself. Neither a silent
// nor an interactive run may leave one, and the silent run still installs.
#include <windows.h>
// These headers build on windows.h.
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "base/text.h"
#include "system/product_location_win.h"
#include "system/win_handle_win.h"
#include "tests/e2e/e2e_support.h"

namespace lum {
namespace {

using e2e::InstallerPath;
using e2e::ReadBytes;
using e2e::RunProgram;
using e2e::TempFolder;

// The libraries the installer imported at load time before it took them from
// the system folder by full path, and those it loads while it runs (GDI+, the
// trust and network libraries, the process status library of older Windows,
// and what the preloading names that Windows does not always map from the
// system folder).
const wchar_t* const kPlanted[] = {
    L"version",       L"comctl32", L"wininet",  L"crypt32", L"bcrypt",  L"userenv", L"imm32",
    L"gdiplus",       L"wintrust", L"netapi32", L"psapi",   L"uxtheme", L"dwmapi",  L"winhttp",
    L"iphlpapi",      L"secur32",  L"msimg32",  L"dbghelp", L"mpr",     L"winmm",   L"propsys",
    L"windowscodecs", L"cabinet",  L"dnsapi",   L"mswsock", L"wsock32", L"wtsapi32"};

// Wine's own advapi32 imports version.dll and its user32 loads imm32.dll as a
// process starts; a prefix-wide preference for a planted copy would load it
// through them in any program.
bool IsWineOwnImport(const wchar_t* name) {
  return lstrcmpiW(name, L"version") == 0 || lstrcmpiW(name, L"imm32") == 0;
}

std::wstring BuildDir() {
  wchar_t value[1024] = {};
  const DWORD length = GetEnvironmentVariableW(L"LUM_BUILD_DIR", value, 1023);
  return length > 0 && length < 1023 ? std::wstring(value, length) : std::wstring();
}

// The installer's processes: the one started and the relocated copy it hands
// the run to, which owns the windows.
std::set<DWORD> InstallerProcesses() {
  std::set<DWORD> ids;
  UniqueFileHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof(entry);
  for (BOOL more = snapshot && Process32FirstW(snapshot.Get(), &entry); more;
       more = Process32NextW(snapshot.Get(), &entry))
    if (lstrcmpiW(entry.szExeFile, L"LumBastionSetup.exe") == 0) ids.insert(entry.th32ProcessID);
  return ids;
}

struct WindowSearch {
  std::set<DWORD> owners;
  HWND found;
};

BOOL CALLBACK FindVisibleWindow(HWND window, LPARAM parameter) {
  auto* search = reinterpret_cast<WindowSearch*>(parameter);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (!search->owners.count(owner) || !IsWindowVisible(window)) return TRUE;
  search->found = window;
  return FALSE;
}

class DllPlantingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::wstring installer = InstallerPath();
    const std::wstring build = BuildDir();
    if (installer.empty() || build.empty()) GTEST_SKIP() << "LUM_INSTALLER or LUM_BUILD_DIR unset";
    download_ = TempFolder() + L"lum_download";
    CreateDirectoryW(download_.c_str(), nullptr);
    copy_ = download_ + L"\\LumBastionSetup.exe";
    ASSERT_TRUE(CopyFileW(installer.c_str(), copy_.c_str(), FALSE));
    std::wstring early, late;
    for (const wchar_t* name : kPlanted) {
      const std::wstring planted = download_ + L"\\" + name + L".dll";
      ASSERT_TRUE(CopyFileW((build + L"\\lum_planted_dll.dll").c_str(), planted.c_str(), FALSE))
          << name;
      std::wstring& list = IsWineOwnImport(name) ? late : early;
      list += (list.empty() ? L"" : L",") + std::wstring(name);
    }
    // Set for the whole prefix by CTest (LUM_DLL_OVERRIDES, tests/wine/wine-run.sh):
    // Wine takes a static import's load order from the variable the prefix
    // started with, not from one a Windows parent sets for its child.
    wchar_t overrides[4096] = {};
    const DWORD length = GetEnvironmentVariableW(L"WINEDLLOVERRIDES", overrides, 4095);
    ASSERT_TRUE(length > 0 && length < 4095 && std::wstring(overrides).find(early + L"=n,b") == 0)
        << "WINEDLLOVERRIDES must start with " << WideToUtf8(early) << "=n,b";
    // Wine's own libraries import these two at process start, before the
    // installer's first instruction (Windows' do not): preferred for loads
    // while the installer runs only, which a parent's variable gives.
    SetEnvironmentVariableW(L"WINEDLLOVERRIDES",
                            (late + L"=n,b;" + std::wstring(overrides)).c_str());
    log_ = TempFolder() + L"lum_planting.log";
  }

  // The names whose planted copy was loaded by some process.
  std::wstring Loaded() const {
    std::wstring loaded;
    for (const wchar_t* name : kPlanted)
      if (GetFileAttributesW((download_ + L"\\" + name + L".dll.loaded").c_str()) !=
          INVALID_FILE_ATTRIBUTES)
        loaded += std::wstring(name) + L".dll ";
    return loaded;
  }
  std::wstring Log() const { return Utf8ToWide(ReadBytes(log_)); }

  std::wstring download_, copy_, log_;
};

TEST_F(DllPlantingTest, NoPlantedDllRunsInASilentOrAnInteractiveRun) {
  // Silent: the whole install, from the download folder.
  // Not fatal: which planted copies ran says more than the exit code.
  EXPECT_EQ(0, RunProgram(copy_, L"/s /log:" + log_)) << Log();
  EXPECT_EQ(L"", Loaded()) << Log();
  const std::wstring installed = DefaultInstallDir();
  EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((installed + L"\\FeedBack.ini").c_str()))
      << installed;
  EXPECT_NE(std::wstring::npos, Log().find(L"DLL search: the system folder only")) << Log();

  // Interactive: until its first window shows, then ended.
  std::wstring line = L"\"" + copy_ + L"\" /log:" + log_;
  std::vector<wchar_t> buffer(line.begin(), line.end());
  buffer.push_back(L'\0');
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info = {};
  ASSERT_TRUE(CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                             &startup, &info));
  UniqueHandle process(info.hProcess), thread(info.hThread);
  WindowSearch search = {{}, nullptr};
  for (int i = 0; i < 1200 && !search.found; ++i) {
    if (WaitForSingleObject(process.Get(), 100) == WAIT_OBJECT_0) break;
    search.owners = InstallerProcesses();
    EnumWindows(FindVisibleWindow, reinterpret_cast<LPARAM>(&search));
  }
  EXPECT_NE(nullptr, search.found) << "no window of the interactive run\n" << Log();
  for (DWORD id : InstallerProcesses()) {
    UniqueHandle other(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id));
    if (!other) continue;
    TerminateProcess(other.Get(), 1);
    WaitForSingleObject(other.Get(), 30000);
  }
  EXPECT_EQ(L"", Loaded()) << Log();
}

}  // namespace
}  // namespace lum
