// Process start-up of the installer: the steps RunInstaller walks through,
// each callable on its own so that the Win32 tests can drive them one by one.
// Everything here runs on the main thread.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "app/result_file.h"
#include "system/folder_tree_win.h"
#include "system/relocation_folder_win.h"
#include "system/win_handle_win.h"

namespace lum {

constexpr const wchar_t* kInstanceMutexName = L"Local\\ZLumSafeI18NInstaller";
constexpr const wchar_t* kInstallerWindowClass = L"ZLumInstallerClass";
constexpr const wchar_t* kRelocationSwitch = L"/BNinstall";
constexpr const wchar_t* kElevatedSwitch = L"/elevated";
constexpr const wchar_t* kCompatLayersKey =
    L"Software\\Microsoft\\Windows NT\\CurrentVersion\\AppCompatFlags\\Layers";

// The whole start-up sequence; returns the process exit code (exit_codes.h).
int RunInstaller(HINSTANCE instance, const std::wstring& commandTail, int showCommand);

// --- system libraries ---
// The fixed list, in load order (87 names).
const std::vector<const wchar_t*>& PreloadLibraryNames();
// Loads each name from the system folder, ignoring failures; on Windows 10
// "edputil.dll" as well. Returns how many loaded.
int PreloadSystemLibraries(bool windows10);

// --- vendor base module ---
enum class BaseModuleResult {
  kWritten,     // written (and loading attempted)
  kNoTempPath,  // no temporary folder: the caller skips ahead
  kFailed,      // neither folder could take it: exit 103
};
// "%08d_%08d_base" from seconds since 1970 and the tick count.
std::wstring FormBaseFolderName(uint32_t seconds, uint32_t ticks);
// Creates a new private folder under `parent` named `name`, or, when that
// name is taken, `name` + "_1" ... "_15". Never reuses an existing folder.
// Returns the created folder (no trailing backslash) or empty.
std::wstring CreateFreshPrivateFolder(const std::wstring& parent, const std::wstring& name);
// The same with CreateProtectedFolder: SYSTEM and the Administrators only.
std::wstring CreateFreshProtectedFolder(const std::wstring& parent, const std::wstring& name);
// Writes resource FILE 504 as "Lumbase.dll" into a fresh folder (then under
// the common application data folder) and loads it. The first folder is under
// %TEMP% for an unelevated run; an elevated run writes under the Windows
// temporary folder into a folder made by CreateProtectedFolder, the only kind
// it loads code from.
BaseModuleResult ExtractBaseModule(std::wstring* baseFolder);

// --- relocation ---
// True when `ownPath` lies inside `productFolder` (case-insensitive).
bool RunsFromProductFolder(const std::wstring& ownPath, const std::wstring& productFolder);
// "\"copy\" tail /BNinstall", or "\"copy\" /BNinstall" for an empty tail.
std::wstring RelocationCommandLine(const std::wstring& copyPath, const std::wstring& tail);
// The exit code of a finished copy of the installer that did the work, or
// kExitHandOverLost (logged with the reason) when the copy died or its code
// cannot be read.
DWORD ChildExitCode(HANDLE process, const std::wstring& commandLine);

// What a run that handed its work to a copy of the installer learnt from it.
// The copy is always told to write a result file of its own into a folder
// only administrators can write (or, for a copy with the user's rights, the
// run's own folder), so that its 0 is never taken on its word.
struct HandOver {
  DWORD code = 0;           // ChildExitCode
  bool resultRead = false;  // the copy's result file was read (then `result`)
  RunResult result;
  bool keptForRestart = false;  // the copy finishes the install after the restart
};
// `tail` with the copy's own result file asked for last (the last "/result:"
// wins), quoted: the folder may hold blanks.
std::wstring WithPrivateResult(const std::wstring& tail, const std::wstring& resultPath);
// Reads the copy's result file into `handOver` and deletes it; logged.
void TakePrivateResult(const std::wstring& resultPath, HandOver* handOver);

// Copies the installer under Program Files, runs the copy with /BNinstall
// and waits. True when the copy ran; `handOver` then holds its exit code and
// its result file, read before the copy and its folder are deleted (unless
// the RunOnce entry "Lumts" now names the copy for the run after the
// restart). An installer that is such a copy already runs in place.
bool RelocateAndRerun(const std::wstring& commandTail, HandOver* handOver);
// At the end of a run of an installer that is a kept copy (not the child of a
// relocating run, i.e. no /BNinstall in `commandTail`): once no "Lumts"
// entry names it and no waiting copy of the run still needs it, the copy and
// its folder are scheduled for deletion at the next restart (the running
// image cannot go sooner). True when scheduled.
bool ReleaseRestartCopy(const std::wstring& ownPath, const std::wstring& commandTail,
                        bool handedToWaitingCopy);

// --- compatibility layer and MUI cache ---
// Deletes the value named `exePath` under HKEY_USERS\<SID>\<Layers>. True
// only when it existed and was deleted.
bool DeleteCompatLayerValue(const std::wstring& exePath);
// When a compatibility layer was set for this installer: deletes it; a run
// that is not elevated then runs the installer again with the same tail,
// its result file asked for in `ownFolder` (the run's own folder), waits, and
// answers true with the restarted run's outcome in `handOver`. An elevated
// run starts nothing (its own file lies where the user may change it), nor
// does a run without a folder of its own: false, and the run goes on.
bool ClearCompatibilityLayer(const std::wstring& commandTail, bool elevated,
                             const std::wstring& ownFolder, HandOver* handOver);
// Deletes "<path>.FriendlyAppName" from the MUI cache (start-up calls it on
// Windows 8 and later only). True when the value existed and was deleted.
bool ClearMuiCacheName(const std::wstring& exePath);

// --- single instance ---
// 0 with `mutex` owning the instance mutex, or 105 when another installer
// holds it (its window is brought forward unless silent).
int AcquireSingleInstance(bool silent, UniqueHandle* mutex,
                          const wchar_t* mutexName = kInstanceMutexName);
// Brings the running installer's window to the foreground; false if none.
bool BringRunningInstanceForward();

// --- elevation ---
// XP x64 / Server 2003 x64 workstation with an administrator token.
bool ElevationCheckSkipped(bool tokenIsAdmin);
bool NeedsElevation(bool tokenIsAdmin);
struct UacTexts {
  std::wstring title, message, failure;
};
// Starts the installer again with "runas" and " /elevated"; shows the failure
// message instead when already elevated-once or when the shell cannot elevate.
bool RelaunchElevated(const UacTexts& texts);

// --- run modes ---
int RunSilent();
int RunInteractive(HINSTANCE instance, int showCommand);
// Interactive shutdown: stops the install worker (WM_QUIT, once more after
// 100 ms if posting failed, then waits), deletes its work folder and
// destroys the procedure.
void ShutDownInteractiveWorker();

}  // namespace lum
