// Process exit codes. Stable: deployment tools, logs and statistics depend on
// them, so a retired value is commented out and never reused.
#pragma once

namespace lum {

enum ExitCode : int {
  kExitInstalled = 0,              // installed (a relocated/restarted run reports its child's code)
  kExitLanguageTable = 101,        // the language table could not be used
  kExitNoGdiPlus = 102,            // "gdiplus.dll" could not be loaded
  kExitBaseModule = 103,           // the vendor base module could not be written
  kExitOtherInstance = 105,        // another installer holds the instance mutex
  kExitNeedsElevation = 106,       // administrator rights are needed
  kExitUnsupportedWindows = 107,   // silent check: Windows older than XP, or 5.2
  kExitProcedureConstruct = 108,   // silent check: the install procedure could not be constructed
  kExitInstallDirUnwritable = 109, // install folder cannot be created, secured or written (both modes)
  kExitNoDiskSpace = 111,          // silent check: 300,000,000 bytes or less free
  kExitUnsuitableDrive = 112,      // silent check: not a local fixed disk
  kExitInstallDirEmpty = 113,      // silent check: the install folder is empty
  kExitSelfProtection = 114,       // silent reinstall: self-protection could not be switched off
  kExitNewerInstalled = 115,       // silent check: the installed product is newer
  kExitExtractedFileMissing = 110, // install procedure: an extracted file is missing
  kExitArchiveLibrary = 116,       // install procedure: the archive library could not be written or loaded
  kExitExtractionFailed = 117,     // install procedure: the payload archive could not be extracted
  kExitArchiveNotWritten = 118,    // install procedure: the payload archive could not be written
  kExitFileNotPlaced = 119,        // a payload file could be neither copied nor scheduled
  kExitNoWindow = 120,             // interactive: the main window could not be created
  kExitHandOverLost = 121,         // the copy that did the work left no outcome to trust
  kExitRollbackIncomplete = 122,   // a failed placement could not put every original back
  kExitWorkerThread = 333,         // interactive: the worker thread could not be started
  kExitConflictChinese = 501,      // conflict: the vendor's regional edition
  kExitConflictFamilyAv = 502,     // conflict: the vendor's family antivirus
  kExitConflictChineseAndAv = 503, // conflict: both of the two above
  kExitConflictWarden = 504,       // conflict: a partner edition is installed
  kExitConflictInternet = 505,     // conflict: an older internet-security product
  kExitConflictSafeBox = 506,      // conflict: the vendor's safe-box product
  kExitConflictEdition = 507,      // conflict: another edition of this product
  kExitConflictEnterprise = 508,   // conflict: the enterprise edition
  kExitConflictWndFilter = 509,    // conflict: a window-filter product
  kExitConflictCleaner = 510,      // conflict: the vendor's cleaner product
  kExitRunningCleaner = 1001,      // a family program runs: the cleaner
  kExitRunningAccount = 1002,      // a family program runs: the account tool
  kExitRunningGameBooster = 1003,  // a family program runs: the game booster
  kExitRunningDriverUpdater = 1004,// a family program runs: the driver updater
};

// Every code above, for the README's table and its test.
extern const int kEveryExitCode[];
extern const int kEveryExitCodeCount;

// English meaning of an exit code, for logs, the demo report and the README.
const char* ExitCodeMeaning(int code);

// Exit code 0 also ends runs that installed nothing. Callers rely on that 0,
// so it stays; the log and the result file say what the run really did.
enum class ZeroExit : int {
  kInstalled = 0,
  kClosedByUser = 1,         // the window was closed before Install
  kHandedToWaitingCopy = 2,  // the run after a restart started its "post:wait" copy
};
// ExitCodeMeaning, with the run's own account of a 0.
const char* ExitCodeMeaning(int code, ZeroExit zero);
// The ZeroExit whose meaning is `meaning` (kInstalled for any other text).
ZeroExit ZeroExitFromMeaning(const char* meaning);

// What this process's 0 means; kInstalled until a run notes otherwise. The
// interface thread notes it, the main thread reads it at the end.
void NoteZeroExit(ZeroExit zero);
ZeroExit NotedZeroExit();

}  // namespace lum
