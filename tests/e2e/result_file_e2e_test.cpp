// The "/result:path" file a deployment tool reads: written by the process
// whose exit code is final, also after a hand-over to the relocated copy and
// for a failed run, with exactly the members a deployment tool expects.
#include <gtest/gtest.h>
#include <windows.h>

#include <tlhelp32.h>

#include <memory>
#include <set>
#include <string>

#include "base/exit_codes.h"
#include "base/json.h"
#include "base/text.h"
#include "system/file_ops_win.h"
#include "system/product_location_win.h"
#include "system/win_handle_win.h"
#include "tests/e2e/e2e_support.h"
#include "vendor/image_signature.h"

namespace lum {
namespace {

using e2e::Count;
using e2e::InstallerPath;
using e2e::ReadBytes;
using e2e::ReadText;
using e2e::RunProgram;
using e2e::TempFolder;

JsonValue ReadJson(const std::wstring& path) {
  const std::string text = ReadBytes(path);
  JsonValue root;
  if (!ParseJson(text, &root)) return JsonValue();
  return root;
}

std::set<std::string> Members(const JsonValue& root) {
  std::set<std::string> names;
  if (root.IsObject())
    for (const std::string& name : root.MemberNames()) names.insert(name);
  return names;
}

// Files in `folder` matching `pattern` (temporary result files).
int CountFiles(const std::wstring& folder, const std::wstring& pattern) {
  int n = 0;
  WIN32_FIND_DATAW data;
  UniqueFindHandle find(FindFirstFileW((folder + L"\\" + pattern).c_str(), &data));
  if (!find) return 0;
  do ++n;
  while (FindNextFileW(find.Get(), &data));
  return n;
}

class ResultFileE2eTest : public ::testing::Test {
 protected:
  void SetUp() override {
    installer_ = InstallerPath();
    if (installer_.empty()) GTEST_SKIP() << "LUM_INSTALLER is not set";
    download_ = TempFolder() + L"lum_result_" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(download_.c_str(), nullptr);
    copy_ = download_ + L"\\LumBastionSetup.exe";
    ASSERT_TRUE(CopyFileW(installer_.c_str(), copy_.c_str(), FALSE));
    log_ = download_ + L"\\run.log";
    result_ = download_ + L"\\result.json";
  }
  // A run from the download folder: it relocates under Program Files, and the
  // copy does the work.
  int Run(const std::wstring& tail) {
    return RunProgram(copy_, tail + L" /log:" + log_ + L" /result:" + result_);
  }
  std::wstring installer_, download_, copy_, log_, result_;
};

TEST_F(ResultFileE2eTest, InstallReinstallAndRefusedRunEachLeaveTheirResult) {
  // A fresh install, handed over to the relocated copy.
  ASSERT_EQ(kExitInstalled, Run(L"/s")) << WideToUtf8(ReadText(log_));
  JsonValue first = ReadJson(result_);
  EXPECT_EQ((std::set<std::string>{"exitCode", "meaning", "rebootRequired", "wasInstalled",
                                   "productVersion", "installDir", "logFile", "language",
                                   "durationMs"}),
            Members(first))
      << ReadBytes(result_);
  EXPECT_EQ(0, first["exitCode"].AsInt());
  EXPECT_EQ(ExitCodeMeaning(0), first["meaning"].AsString());
  EXPECT_FALSE(first["wasInstalled"].AsBool());
  EXPECT_FALSE(first["rebootRequired"].AsBool());
  const std::wstring installDir = DefaultInstallDir();
  EXPECT_EQ(WideToUtf8(installDir), first["installDir"].AsString());
  EXPECT_EQ(WideToUtf8(InstalledProductVersion(installDir)), first["productVersion"].AsString());
  EXPECT_FALSE(first["productVersion"].AsString().empty());
  EXPECT_EQ(WideToUtf8(log_), first["logFile"].AsString());
  EXPECT_EQ("en", first["language"].AsString());
  EXPECT_TRUE(first["durationMs"].IsUInt64());
  EXPECT_GT(first["durationMs"].AsUInt64(), 0u);
  EXPECT_EQ(0, CountFiles(download_, L"*.tmp"));

  // A reinstall while a changed product file is held open: it is replaced
  // at the next restart, and the result says a restart is required.
  const std::wstring held = installDir + L"\\FeedBack.ini";
  {
    UniqueFileHandle file(CreateFileW(held.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0,
                                      nullptr));
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(file.Get(), "changed", 7, &written, nullptr));
  }
  UniqueFileHandle open(CreateFileW(held.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(open.Valid());
  // Named relative to the folder the installer is started from, as a person
  // at a prompt names them: the relocated copy, which runs elsewhere, must
  // still write both there.
  DeleteFileW(log_.c_str());
  DeleteFileW(result_.c_str());
  wchar_t before[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, before);
  ASSERT_TRUE(SetCurrentDirectoryW(download_.c_str()));
  const int reinstalled = RunProgram(copy_, L"/s /log:run.log /result:result.json");
  SetCurrentDirectoryW(before);
  ASSERT_EQ(kExitInstalled, reinstalled) << WideToUtf8(ReadText(log_));
  open.Reset();
  JsonValue second = ReadJson(result_);
  EXPECT_TRUE(second["wasInstalled"].AsBool()) << ReadBytes(result_);
  EXPECT_TRUE(second["rebootRequired"].AsBool()) << ReadBytes(result_);
  EXPECT_EQ(WideToUtf8(log_), second["logFile"].AsString());
  EXPECT_NE(std::wstring::npos, ReadText(log_).find(L"relocate: relocated copy finished"));

  // Another installer holds the instance mutex: the copy stops with 105 and
  // that is what the file says, not the earlier run's outcome.
  UniqueHandle mutex(CreateMutexW(nullptr, TRUE, L"Local\\ZLumSafeI18NInstaller"));
  ASSERT_TRUE(mutex.Valid());
  ASSERT_EQ(kExitOtherInstance, Run(L"/s"));
  JsonValue refused = ReadJson(result_);
  EXPECT_EQ(105, refused["exitCode"].AsInt()) << ReadBytes(result_);
  EXPECT_EQ(ExitCodeMeaning(105), refused["meaning"].AsString());
  EXPECT_EQ(0, CountFiles(download_, L"*.tmp"));

  // A copy that is never started (an installer whose signature is gone is
  // not trusted under Program Files): the run goes on in place, and its own
  // outcome is the one reported, over a result file left from before.
  const std::string signedBytes = ReadBytes(copy_);
  ASSERT_GT(signedBytes.size(), kImageTrailerBytes);
  const std::wstring unsignedCopy = download_ + L"\\Unsigned.exe";
  ASSERT_TRUE(e2e::WriteBytes(unsignedCopy,
                              signedBytes.substr(0, signedBytes.size() - kImageTrailerBytes)));
  ASSERT_TRUE(e2e::WriteBytes(result_, "{\"exitCode\":0}"));
  DeleteFileW(log_.c_str());
  ASSERT_EQ(kExitOtherInstance,
            RunProgram(unsignedCopy, L"/s /log:" + log_ + L" /result:" + result_));
  const std::wstring inPlace = ReadText(log_);
  EXPECT_NE(std::wstring::npos, inPlace.find(L"relocate: copy is not a trusted image, not started"))
      << WideToUtf8(inPlace);
  EXPECT_EQ(105, ReadJson(result_)["exitCode"].AsInt()) << ReadBytes(result_);
}

// The process that `parent` started, once it exists (bounded); 0 when none came.
DWORD WaitForChildOf(DWORD parent, DWORD timeoutMs) {
  for (DWORD waited = 0; waited < timeoutMs; waited += 50) {
    UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot.Get(), &entry); more;
         more = Process32NextW(snapshot.Get(), &entry)) {
      if (entry.th32ParentProcessID == parent) return entry.th32ProcessID;
    }
    Sleep(50);
  }
  return 0;
}

// Starts the installer with `line` and waits for its relocated copy: the
// copy's id, 0 (with a failure) when the installer or its copy never started.
DWORD StartRelocating(std::wstring line, UniqueHandle* parent) {
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info = {};
  if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &info)) {
    ADD_FAILURE() << "installer not started: " << GetLastError();
    return 0;
  }
  parent->Reset(info.hProcess);
  CloseHandle(info.hThread);
  const DWORD childId = WaitForChildOf(info.dwProcessId, 60000);
  if (childId == 0) ADD_FAILURE() << "no relocated copy was started";
  return childId;
}

// A relocated copy that dies mid-run: crashed (an exception code), killed
// from outside (1), aborted (3), or ended from outside with a plain 0. With or
// without "/result:", the first process must not report "installed" for a
// product that is not there, and what it reports besides is what it saw.
TEST_F(ResultFileE2eTest, ARelocatedCopyThatDiesIsAFailureWithATruthfulResult) {
  struct Death {
    DWORD code;
    bool resultAsked;
    const wchar_t* logSays;
  };
  const Death deaths[] = {
      {0xC0000005u, true, L"exception code 0xC0000005"},
      {1u, true, L"killed from outside or aborted (exit code 1)"},
      {3u, false, L"killed from outside or aborted (exit code 3)"},
      {0u, false, L"left no result file of its own"},
  };
  for (const Death& death : deaths) {
    SCOPED_TRACE(death.code);
    DeleteFileW(log_.c_str());
    DeleteFileW(result_.c_str());
    const bool installedBefore = !ReadProductFolder().empty();
    std::wstring line = L"\"" + copy_ + L"\" /s /log:" + log_;
    if (death.resultAsked) line += L" /result:" + result_;
    UniqueHandle parent;
    const DWORD childId = StartRelocating(line, &parent);
    ASSERT_NE(0u, childId);
    UniqueHandle child(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, childId));
    ASSERT_TRUE(child.Valid());
    // Killed once it is at work: its own start-up lines are in the log.
    for (int i = 0; i < 600 && Count(ReadText(log_), L"/BNinstall") == 0; ++i) Sleep(50);
    ASSERT_TRUE(TerminateProcess(child.Get(), death.code));
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(parent.Get(), 120000));
    DWORD code = 0;
    GetExitCodeProcess(parent.Get(), &code);
    const std::wstring log = ReadText(log_);
    EXPECT_EQ(static_cast<DWORD>(kExitHandOverLost), code) << WideToUtf8(log);
    EXPECT_EQ(std::wstring::npos, log.find(L"exit: installed")) << WideToUtf8(log);
    EXPECT_NE(std::wstring::npos, log.find(death.logSays)) << WideToUtf8(log);
    EXPECT_NE(std::wstring::npos,
              log.find(L"exit: " + Utf8ToWide(ExitCodeMeaning(kExitHandOverLost))))
        << WideToUtf8(log);
    if (death.resultAsked) {
      const JsonValue result = ReadJson(result_);
      EXPECT_EQ(kExitHandOverLost, result["exitCode"].AsInt()) << ReadBytes(result_);
      EXPECT_EQ(ExitCodeMeaning(kExitHandOverLost), result["meaning"].AsString());
      EXPECT_EQ(installedBefore, result["wasInstalled"].AsBool()) << ReadBytes(result_);
      EXPECT_FALSE(result["rebootRequired"].AsBool()) << ReadBytes(result_);
    } else {
      EXPECT_FALSE(FileExists(result_)) << "a result file nobody asked for";
    }
  }
}

// The window of an interactive relocated copy is closed before Install: the
// run ends 0, as callers rely on, and the first process's log ends saying
// that the user closed it and nothing was installed.
TEST_F(ResultFileE2eTest, AWindowClosedBeforeInstallIsSaidSoByTheFirstProcess) {
  DeleteFileW(log_.c_str());
  std::wstring line = L"\"" + copy_ + L"\" /log:" + log_;
  UniqueHandle parent;
  const DWORD childId = StartRelocating(line, &parent);
  ASSERT_NE(0u, childId);
  HWND window = nullptr;
  for (int i = 0; i < 1200 && window == nullptr; ++i) {
    HWND found = FindWindowW(L"ZLumInstallerClass", nullptr);
    DWORD owner = 0;
    if (found) GetWindowThreadProcessId(found, &owner);
    if (owner == childId && IsWindowVisible(found)) window = found;
    else Sleep(100);
  }
  ASSERT_NE(nullptr, window) << WideToUtf8(ReadText(log_));
  PostMessageW(window, WM_CLOSE, 0, 0);
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(parent.Get(), 120000));
  DWORD code = 1;
  GetExitCodeProcess(parent.Get(), &code);
  const std::wstring log = ReadText(log_);
  EXPECT_EQ(0u, code) << WideToUtf8(log);
  // The last line is the first process's own.
  size_t end = log.find_last_not_of(L"\r\n");
  ASSERT_NE(std::wstring::npos, end);
  size_t start = log.find_last_of(L'\n', end);
  start = start == std::wstring::npos ? 0 : start + 1;
  const std::wstring last = log.substr(start, end + 1 - start);
  EXPECT_NE(std::wstring::npos, last.find(L"exit: closed by the user, nothing installed"))
      << WideToUtf8(log);
  EXPECT_EQ(std::wstring::npos, log.find(L"exit: installed")) << WideToUtf8(log);
}

TEST_F(ResultFileE2eTest, UnwritableResultPathDoesNotChangeTheExitCode) {
  UniqueHandle mutex(CreateMutexW(nullptr, TRUE, L"Local\\ZLumSafeI18NInstaller"));
  ASSERT_TRUE(mutex.Valid());
  const std::wstring missing = download_ + L"\\no such folder\\result.json";
  EXPECT_EQ(kExitOtherInstance,
            RunProgram(copy_, L"/s /BNinstall /log:" + log_ + L" \"/result:" + missing + L"\""));
  EXPECT_FALSE(FileExists(missing));
  EXPECT_NE(std::wstring::npos, ReadText(log_).find(L"write result file")) << WideToUtf8(ReadText(log_));
}

}  // namespace
}  // namespace lum
