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
      return "the language table could not be used";
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
      return "silent check: the install procedure could not be constructed";
    case kExitInstallDirUnwritable:
      return "the install folder cannot be created, kept for administrators only, or written (a link, or below a link)";
    case kExitNoDiskSpace:
      return "silent check: not enough free disk space";
    case kExitUnsuitableDrive:
      return "silent check: the install drive is not a local fixed disk";
    case kExitInstallDirEmpty:
      return "silent check: the install folder is empty";
    case kExitSelfProtection:
      return "silent reinstall: the product's self-protection could not be switched off";
    case kExitNewerInstalled:
      return "silent check: a newer version of the product is installed";
    case kExitFileNotPlaced:
      return "a payload file could be neither copied nor scheduled for replacement at the restart";
    case kExitNoWindow:
      return "interactive: the installer's window could not be created";
    case kExitHandOverLost:
      return "the copy of the installer that did the work ended without a trustworthy outcome "
             "(it died, or its exit code or result could not be read); nothing is known to be installed";
    case kExitWorkerThread:
      return "interactive: the install worker could not be started";
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
    default:
      return "the install procedure's own error code";
  }
}

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
