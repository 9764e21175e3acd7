#include "base/exit_codes.h"

#include <atomic>
#include <cstring>

namespace lum {

// The README's table of exit codes says the same, word for word: the result
// file and the demo quote these texts.

const char* ExitCodeMeaning(int code) {
  switch (code) {
    case kExitInstalled:
      return "installed";
    case kExitLanguageTable:
      return "the language table could not be used, or the install procedure found no usable temporary folder";
    case kExitNoGdiPlus:
      return "\"gdiplus.dll\" could not be loaded";
    case kExitBaseModule:
      return "the vendor base module could not be written to a folder";
    case kExitOtherInstance:
      return "another installer instance is running";
    case kExitNeedsElevation:
      return "administrator rights are needed (an elevated copy was started in interactive mode)";
    case kExitUnsupportedWindows:
      return "silent check: unsupported Windows version";
    case kExitProcedureConstruct:
      return "the install procedure's work folder is not writable (silent check, or extraction)";
    case kExitInstallDirUnwritable:
      return "the install folder cannot be created, kept for administrators only, or written (a link, or below a link)";
    case kExitNoDiskSpace:
      return "not enough free disk space on the install drive (silent check) or the work folder's drive";
    case kExitUnsuitableDrive:
      return "the install drive (silent check) or the work folder's drive is not a local fixed disk";
    case kExitInstallDirEmpty:
      return "silent check: the install folder is empty";
    case kExitSelfProtection:
      return "silent reinstall: the product's self-protection could not be switched off";
    case kExitNewerInstalled:
      return "silent check: a newer version of the product is installed";
    case kExitExtractedFileMissing:
      return "an extracted file is missing in the work folder";
    case kExitArchiveLibrary:
      return "the archive library could not be written or loaded";
    case kExitExtractionFailed:
      return "the payload archive could not be extracted";
    case kExitArchiveNotWritten:
      return "the payload archive could not be written to the work folder";
    case kExitFileNotPlaced:
      return "a payload file could be neither copied nor scheduled for replacement at the restart";
    case kExitNoWindow:
      return "interactive: the installer's window could not be created";
    case kExitHandOverLost:
      return "the copy of the installer that did the work was killed, crashed or ended without a "
             "trustworthy outcome (no result file of its own, or its exit code could not be read); "
             "nothing is known to be installed";
    case kExitRollbackIncomplete:
      return "rollback incomplete: a failed placement could not put every original file back; "
             "the log names each file that stayed new or set aside, and the product was not started";
    case kExitWorkerThread:
      return "interactive: the install worker could not be started";
    case kExitConflictChinese:
      return "a conflicting product is installed: the vendor's regional edition";
    case kExitConflictFamilyAv:
      return "a conflicting product is installed: the vendor's family antivirus";
    case kExitConflictChineseAndAv:
      return "conflicting products are installed: the vendor's regional edition and its family antivirus";
    case kExitConflictWarden:
      return "a conflicting product is installed: a partner edition";
    case kExitConflictInternet:
      return "a conflicting product is installed: an older internet-security product of the vendor";
    case kExitConflictSafeBox:
      return "a conflicting product is installed: the vendor's safe-box product";
    case kExitConflictEdition:
      return "a conflicting product is installed: another edition of this product";
    case kExitConflictEnterprise:
      return "a conflicting product is installed: the enterprise edition";
    case kExitConflictWndFilter:
      return "a conflicting product is installed: a window-filter product";
    case kExitConflictCleaner:
      return "a conflicting product is installed: the vendor's cleaner product";
    case kExitRunningCleaner:
      return "a program of the product family is running: the cleaner";
    case kExitRunningAccount:
      return "a program of the product family is running: the account tool";
    case kExitRunningGameBooster:
      return "a program of the product family is running: the game booster";
    case kExitRunningDriverUpdater:
      return "a program of the product family is running: the driver updater";
    default:
      return "the install procedure's own error code";
  }
}

const int kEveryExitCode[] = {
    kExitInstalled, kExitLanguageTable, kExitNoGdiPlus, kExitBaseModule, kExitOtherInstance,
    kExitNeedsElevation, kExitUnsupportedWindows, kExitProcedureConstruct,
    kExitInstallDirUnwritable, kExitExtractedFileMissing, kExitNoDiskSpace, kExitUnsuitableDrive,
    kExitInstallDirEmpty, kExitSelfProtection, kExitNewerInstalled, kExitArchiveLibrary,
    kExitExtractionFailed, kExitArchiveNotWritten, kExitFileNotPlaced, kExitNoWindow,
    kExitHandOverLost, kExitRollbackIncomplete, kExitWorkerThread, kExitConflictChinese, kExitConflictFamilyAv,
    kExitConflictChineseAndAv, kExitConflictWarden, kExitConflictInternet, kExitConflictSafeBox,
    kExitConflictEdition, kExitConflictEnterprise, kExitConflictWndFilter, kExitConflictCleaner,
    kExitRunningCleaner, kExitRunningAccount, kExitRunningGameBooster, kExitRunningDriverUpdater,
};
const int kEveryExitCodeCount = sizeof(kEveryExitCode) / sizeof(kEveryExitCode[0]);

namespace {
constexpr const char* kClosedByUserMeaning = "closed by the user, nothing installed";
constexpr const char* kHandedToWaitingCopyMeaning =
    "the run after the restart handed over to its copy that waits for an idle machine; "
    "nothing installed by this run";
std::atomic<int> notedZeroExit{static_cast<int>(ZeroExit::kInstalled)};
}  // namespace

const char* ExitCodeMeaning(int code, ZeroExit zero) {
  if (code != kExitInstalled) return ExitCodeMeaning(code);
  switch (zero) {
    case ZeroExit::kClosedByUser:
      return kClosedByUserMeaning;
    case ZeroExit::kHandedToWaitingCopy:
      return kHandedToWaitingCopyMeaning;
    default:
      return ExitCodeMeaning(code);
  }
}

ZeroExit ZeroExitFromMeaning(const char* meaning) {
  if (std::strcmp(meaning, kClosedByUserMeaning) == 0) return ZeroExit::kClosedByUser;
  if (std::strcmp(meaning, kHandedToWaitingCopyMeaning) == 0) return ZeroExit::kHandedToWaitingCopy;
  return ZeroExit::kInstalled;
}

void NoteZeroExit(ZeroExit zero) { notedZeroExit = static_cast<int>(zero); }
ZeroExit NotedZeroExit() { return static_cast<ZeroExit>(notedZeroExit.load()); }

}  // namespace lum
