// A standard user racing the elevated installer: the run is frozen (every
// thread of its process tree) the moment a chosen line reaches its log, the
// user's move is made against the machine, and the run goes on. Each swap
// must be refused, either by the system (what the installer checked is held
// open, so it cannot be renamed, replaced or removed) or by the installer,
// whose log then names the refusal. In every case no planted code runs (the
// planted module leaves a marker wherever it is loaded) and the folder a
// planted link points to is left exactly as it was.
#include <gtest/gtest.h>
#include <windows.h>
// These headers build on windows.h.
#include <shlobj.h>

#include <functional>
#include <map>
#include <string>

#include "base/text.h"
#include "system/file_ops_win.h"
#include "system/folder_tree_win.h"
#include "system/product_location_win.h"
#include "system/registry_win.h"
#include "system/win_handle_win.h"
#include "tests/e2e/e2e_support.h"
#include "tests/e2e/watched_run.h"
#include "tests/wine/planted_link.h"

namespace lum {
namespace {

using e2e::ReadBytes;
using e2e::ReadText;
using e2e::TempFolder;
using e2e::WatchedRun;

constexpr const wchar_t* kMarker = L"C:\\lum_planted_ran.txt";
constexpr int kTries = 3;  // runs in which to catch a moment before giving up

std::wstring BuildDir() {
  wchar_t build[1024] = {};
  const DWORD n = GetEnvironmentVariableW(L"LUM_BUILD_DIR", build, 1023);
  return n == 0 || n >= 1023 ? std::wstring() : std::wstring(build, n);
}

// Every file below `folder`, relative path -> bytes.
void Snapshot(const std::wstring& folder, const std::wstring& relative,
              std::map<std::wstring, std::string>* files) {
  WIN32_FIND_DATAW data;
  UniqueFindHandle find(FindFirstFileW((folder + L"\\*").c_str(), &data));
  if (!find) return;
  do {
    const std::wstring name = data.cFileName;
    if (name == L"." || name == L"..") continue;
    const std::wstring rel = relative.empty() ? name : relative + L"\\" + name;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
      Snapshot(folder + L"\\" + name, rel, files);
    else
      (*files)[rel] = ReadBytes(folder + L"\\" + name);
  } while (FindNextFileW(find.Get(), &data));
}

// The "where" of a log line "<time> [tag] what | where | code".
std::wstring WhereOf(const std::wstring& line) {
  const size_t first = line.find(L" | ");
  const size_t last = line.rfind(L" | ");
  if (first == std::wstring::npos || last == first) return std::wstring();
  return line.substr(first + 3, last - first - 3);
}

std::string Tail(const std::wstring& log) {
  return WideToUtf8(log.substr(log.size() > 3000 ? log.size() - 3000 : 0));
}

class SwapE2eTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    installer_ = e2e::InstallerPath();
    build_ = BuildDir();
    installDir_ = DefaultInstallDir();
    log_ = TempFolder() + L"lum_swap.log";
    // The user's own folder, where a planted link points: nothing may land here.
    decoy_ = TempFolder() + L"lum_decoy";
    CreateFolderTree(decoy_);
    const std::wstring planted = build_ + L"\\planted_module.dll";
    CopyFileW(planted.c_str(), (decoy_ + L"\\7z.dll").c_str(), FALSE);
    e2e::WriteBytes(decoy_ + L"\\keep.txt", "the user's own file");
    Snapshot(decoy_, L"", &decoyBefore_);
  }
  void SetUp() override {
    if (installer_.empty() || build_.empty()) GTEST_SKIP() << "LUM_INSTALLER or LUM_BUILD_DIR unset";
    ASSERT_TRUE(FileExists(build_ + L"\\planted_module.dll"));
  }
  void TearDown() override {
    EXPECT_EQ("", ReadBytes(kMarker)) << "planted code ran";
    std::map<std::wstring, std::string> now;
    Snapshot(decoy_, L"", &now);
    EXPECT_TRUE(now == decoyBefore_) << "the user's folder behind the link changed";
  }

  // Runs the installer silently, freezes it when a line holding `text` (and
  // `also`) is logged, unless the log already holds `tooLate` after it, calls
  // `act` with that line, and lets the run finish. Tried up to kTries runs
  // until the moment is caught; false (with a failure) when it never is.
  bool RunWithSwap(const std::wstring& text, const std::wstring& also, const std::wstring& tooLate,
                   const std::function<void(const std::wstring& line)>& act, int* exitCode) {
    for (int attempt = 0; attempt < kTries; ++attempt) {
      WatchedRun run;
      if (!run.Start(installer_, L"/s", log_)) {
        ADD_FAILURE() << "installer not started";
        return false;
      }
      const WatchedRun::Seen seen = run.WaitForLine(text, also);
      if (seen != WatchedRun::Seen::kLine) {
        run.Kill();
        ADD_FAILURE() << "never logged: " << WideToUtf8(text) << " " << WideToUtf8(also) << "\n"
                      << Tail(run.Log());
        return false;
      }
      EXPECT_GT(run.Suspend(), 0);
      const std::wstring log = run.Log();
      const std::wstring line = WatchedRun::FindLine(log, text, also);
      // Only what was logged after the line counts: earlier steps of a
      // reinstall may name the same places.
      const size_t after = log.find(line);
      if (!tooLate.empty() && after != std::wstring::npos &&
          log.find(tooLate, after + line.size()) != std::wstring::npos) {
        // Frozen a moment too late: this run goes on untouched, the next is tried.
        *exitCode = run.Wait();
        continue;
      }
      act(line);
      *exitCode = run.Wait();
      return true;
    }
    ADD_FAILURE() << "the moment was never caught in " << kTries << " runs: " << WideToUtf8(text);
    return false;
  }

  static std::wstring installer_, build_, installDir_, log_, decoy_;
  static std::map<std::wstring, std::string> decoyBefore_;
};
std::wstring SwapE2eTest::installer_, SwapE2eTest::build_, SwapE2eTest::installDir_,
    SwapE2eTest::log_, SwapE2eTest::decoy_;
std::map<std::wstring, std::string> SwapE2eTest::decoyBefore_;

// The work folder, after its creation and before the archive library is
// written into it, is renamed away for a folder of the user's own with a
// module in it, or removed for a link to the user's folder.
TEST_F(SwapE2eTest, TheWorkFolderCannotBeSwappedBeforeExtraction) {
  struct Case {
    const char* name;
    bool link;
  } cases[] = {{"own folder in its place", false}, {"link in its place", true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::wstring work;
    bool swapped = false;
    DWORD refusal = 0;
    int code = -1;
    const bool caught = RunWithSwap(
        L"[precheck] work folder created anew | ", L" | 0", L"[payload] load archive library",
        [&](const std::wstring& line) {
          work = WhereOf(line);
          while (!work.empty() && work.back() == L'\\') work.pop_back();
          if (c.link) {
            swapped = RemoveDirectoryW(work.c_str()) != FALSE;
            refusal = GetLastError();
            if (swapped) swapped = planted::PlantFolderLink(work, decoy_);
          } else {
            swapped = MoveFileW(work.c_str(), (work + L"_moved").c_str()) != FALSE;
            refusal = GetLastError();
            if (swapped && CreateDirectoryW(work.c_str(), nullptr))
              CopyFileW((build_ + L"\\planted_module.dll").c_str(), (work + L"\\7z.dll").c_str(),
                        FALSE);
          }
        },
        &code);
    if (!caught) continue;
    const std::wstring log = ReadText(log_);
    // Not in a folder the user controls.
    EXPECT_NE(0u, ToLowerAscii(work).find(ToLowerAscii(TempFolder()))) << WideToUtf8(work);
    if (swapped) {
      // The installer must have seen it.
      EXPECT_NE(0, code);
      EXPECT_NE(std::wstring::npos,
                log.find(L"extract payload: work folder refused, not the one this run made"))
          << Tail(log);
      if (c.link) planted::RemovePlantedLink(work);
    } else {
      // Held open by the run: the system refused the swap.
      EXPECT_TRUE(refusal == ERROR_SHARING_VIOLATION || refusal == ERROR_ACCESS_DENIED) << refusal;
      EXPECT_EQ(0, code) << Tail(log);
    }
  }
}

// The user's own Programs menu folder, after the run has made (or found)
// it and let go of it, and before the shortcuts are written into it, is
// moved away and a link to the user's other folder put in its place: every
// shortcut write and delete there is refused at the link, nothing reaches
// the folder behind it, and the rest of the install goes on.
TEST_F(SwapE2eTest, AMenuFolderSwappedForALinkAfterItsCheckIsNotWrittenThrough) {
  wchar_t programs[MAX_PATH + 1] = {};
  ASSERT_TRUE(SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_PROGRAMS, nullptr, SHGFP_TYPE_CURRENT,
                                         programs)));
  const std::wstring menu = std::wstring(programs) + L"\\Lum Security Center\\Lum Bastion";
  const std::wstring aside = menu + L"_user";
  // The user's own menu gets the shortcuts from Windows 8 on.
  RegKey wine;
  ASSERT_TRUE(wine.Create(HKEY_CURRENT_USER, L"Software\\Wine", KEY_SET_VALUE));
  ASSERT_TRUE(wine.WriteString(L"Version", L"win10"));
  bool swapped = false;
  DWORD refusal = 0;
  int code = -1;
  const bool caught = RunWithSwap(
      L"[shortcut] create start-menu folder | " + menu + L" | ", L"", L" | " + menu + L"\\",
      [&](const std::wstring&) {
        DeleteFolderTree(aside);
        swapped = MoveFileW(menu.c_str(), aside.c_str()) != FALSE;
        refusal = GetLastError();
        if (swapped) swapped = planted::PlantFolderLink(menu, decoy_);
      },
      &code);
  wine.DeleteValue(L"Version");
  if (!caught) return;
  const std::wstring log = ReadText(log_);
  if (swapped) {
    planted::RemovePlantedLink(menu);
    MoveFileW(aside.c_str(), menu.c_str());
  }
  // Let go of after its check: the swap itself cannot be stopped, only
  // made harmless.
  ASSERT_TRUE(swapped) << refusal;
  EXPECT_EQ(0, code) << Tail(log);
  EXPECT_NE(std::wstring::npos, log.find(L"refused: link on the way | " + menu + L" | "))
      << Tail(log);
  const size_t swappedAt = log.rfind(L"[shortcut] create start-menu folder | " + menu + L" | ");
  ASSERT_NE(std::wstring::npos, swappedAt);
  EXPECT_EQ(std::wstring::npos, log.find(L" | " + menu + L"\\", swappedAt))
      << "a shortcut was written or deleted there: " << Tail(log);
}

// The product's modules that the installer loads from the installed
// product: replaced by a module of the user's before the run (it is not
// vouched for: the log names the refusal and the run goes on without it),
// and replaced between its check and its load (the file is held from before
// the check: the replacement is refused).
TEST_F(SwapE2eTest, AModuleOfTheProductIsLoadedOnlyAsChecked) {
  const std::wstring planted = build_ + L"\\planted_module.dll";
  if (!FileExists(installDir_ + L"\\ZVSafeMain.exe")) {
    ASSERT_EQ(0, e2e::RunProgram(installer_, L"/s /log:" + log_)) << Tail(ReadText(log_));
  }
  const std::wstring bapi = installDir_ + L"\\deepscan\\BAPI.dll";
  const std::wstring common = installDir_ + L"\\LumBNCommon.dll";

  {
    SCOPED_TRACE("replaced before the check");
    std::wstring notReplaced;
    for (const std::wstring& module : {bapi, common}) {
      const std::wstring aside = module + L".user";
      DeleteFileW(aside.c_str());
      if (!MoveFileW(module.c_str(), aside.c_str()) ||
          !CopyFileW(planted.c_str(), module.c_str(), FALSE))
        notReplaced += module + L" (error " + std::to_wstring(GetLastError()) + L") ";
    }
    ASSERT_EQ(L"", notReplaced) << WideToUtf8(notReplaced);
    EXPECT_EQ(0, e2e::RunProgram(installer_, L"/s /log:" + log_));
    const std::wstring log = ReadText(log_);
    EXPECT_NE(std::wstring::npos,
              log.find(L"[engine] file module refused: untrusted image, not loaded | " + bapi))
        << Tail(log);
    EXPECT_NE(std::wstring::npos,
              log.find(L"[vendor] load product module: untrusted, refused | " + common))
        << Tail(log);
  }
  {
    SCOPED_TRACE("replaced between the check and the load");
    for (const std::wstring& module : {bapi, common}) {
      const bool isBapi = module == bapi;
      // The stand-in base module answers for this file three seconds after
      // its check: the moment to try.
      SetEnvironmentVariableW(L"LUM_VERIFY_DELAY",
                              (FileNamePart(module) + L":3000").c_str());
      int code = -1;
      DWORD refusal = 0;
      bool replaced = false;
      const std::wstring staged = module + L".new";
      ASSERT_TRUE(CopyFileW(planted.c_str(), staged.c_str(), FALSE));
      const bool caught = RunWithSwap(
          isBapi ? L"[engine] file module held for its check | "
                 : L"[vendor] load product module: held for its check | ",
          module, isBapi ? L"[engine] load file module |" : L"[vendor] load common module |",
          [&](const std::wstring&) {
            replaced = MoveFileExW(staged.c_str(), module.c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE;
            refusal = GetLastError();
            if (!replaced) {
              // Nor may it be written over in place.
              UniqueFileHandle file(CreateFileW(module.c_str(), GENERIC_WRITE,
                                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                                nullptr, OPEN_EXISTING, 0, nullptr));
              replaced = file.Valid();
            }
          },
          &code);
      SetEnvironmentVariableW(L"LUM_VERIFY_DELAY", nullptr);
      DeleteFileW(staged.c_str());
      if (!caught) continue;
      EXPECT_FALSE(replaced) << WideToUtf8(module);
      EXPECT_TRUE(refusal == ERROR_SHARING_VIOLATION || refusal == ERROR_ACCESS_DENIED) << refusal;
      const std::wstring log = ReadText(log_);
      EXPECT_EQ(0, code) << Tail(log);
      EXPECT_NE(std::wstring::npos, log.find(isBapi ? L"[engine] load file module | " + module
                                                    : L"[vendor] load common module | " + module))
          << Tail(log);
    }
  }
}

}  // namespace
}  // namespace lum
