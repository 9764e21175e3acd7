#include "app/exit_codes.h"

namespace lum {

const char* ExitCodeMeaning(int code) {
  switch (code) {
    case kExitInstalled:
      return "Installed (or a relocated copy of the installer ran).";
    case kExitLanguageTable:
      return "The language table could not be used.";
    case kExitNoGdiPlus:
      return "gdiplus.dll could not be loaded.";
    case kExitBaseModule:
      return "The vendor base module could not be written to a folder.";
    case kExitOtherInstance:
      return "Another installer instance is already running.";
    case kExitNeedsElevation:
      return "Administrator rights are needed.";
    case kExitUnsupportedWindows:
      return "This Windows version is not supported.";
    case kExitProcedureConstruct:
      return "The install procedure could not be prepared.";
    case kExitInstallDirUnwritable:
      return "The install folder cannot be created or written.";
    case kExitNoDiskSpace:
      return "There is not enough free space on the install drive.";
    case kExitUnsuitableDrive:
      return "The install drive is not a local fixed disk.";
    case kExitInstallDirEmpty:
      return "The install folder is empty.";
    case kExitSelfProtection:
      return "The installed product's self-protection could not be switched off.";
    case kExitNewerInstalled:
      return "A newer version of the product is already installed.";
    case kExitWorkerThread:
      return "The install worker thread could not be started.";
    case kExitConflictWarden:
      return "A partner edition of the product is installed.";
    case kExitConflictInternet:
      return "An older internet-security product of the vendor is installed.";
    case kExitConflictSafeBox:
      return "The vendor's safe-box product is installed.";
    case kExitConflictEdition:
      return "Another edition of this product is installed.";
    case kExitConflictEnterprise:
      return "The enterprise edition of the product is installed.";
    case kExitConflictWndFilter:
      return "A window-filter product is installed.";
    case kExitConflictCleaner:
      return "The vendor's cleaner product is installed.";
    default:
      return "The install procedure failed with its own error code.";
  }
}

}  // namespace lum
