// The rules that refuse a machine or a folder before anything is written:
// result codes, message keys, the conflict and running-program tables, the
// version comparison and the order in which the checks run. Portable: the
// facts come through PreCheckProbes, which pre_install_checks_win.cpp answers
// with the real machine and the host tests answer with fixed facts.
#pragma once
#include <cstdint>
#include <string>

#include "session/session_settings.h"

namespace lum {

// Result codes of the checks (0 = passed). Stable: they are exit codes and
// statistics values.
enum PreCheckCode : int {
  kCheckPassed = 0,
  kCheckWorkFolderPath = 101,  // work folder missing or of unusable length
  kCheckUnsupportedWindows = 107,
  kCheckWorkFolderUnwritable = 108,
  kCheckExtractedFileMissing = 110,  // 110 and 116-118: the payload extraction's codes
  kCheckInstallDirUnwritable = 109,  // silent only
  kCheckNoDiskSpace = 111,
  kCheckUnsuitableDrive = 112,
  kCheckInstallDirEmpty = 113,  // silent only
  kCheckNewerInstalled = 115,
  kCheckArchiveLibrary = 116,
  kCheckArchiveExtraction = 117,
  kCheckArchiveWrite = 118,
};

// Language keys of the check messages.
constexpr const wchar_t* kKeyTempNotAvailable = L"ERROR_TEMPNOTAVAILABLE";
constexpr const wchar_t* kKeyUnsupportedWindows = L"ERROR_NOSUPPORTWIN2K";
constexpr const wchar_t* kKeyTempUnwritable = L"ERROR_TEMPUNWRITEABLE";
constexpr const wchar_t* kKeyTempNoDiskSpace = L"ERROR_TEMPNODISKSPACE";
constexpr const wchar_t* kKeyTempNoUDisk = L"ERROR_TEMPNOUDISK";
constexpr const wchar_t* kKeyTempNoFile = L"ERROR_TEMPNOFILE";
constexpr const wchar_t* kKeyNewerInstalled = L"ERROR_NEWER_VERSION_INSTALLED";
constexpr const wchar_t* kKeyNotWritable = L"ERROR_NOTWRITEABLE";
constexpr const wchar_t* kKeyTooLong = L"ERROR_TOO_LANG";
constexpr const wchar_t* kKeyNoUDisk = L"ERROR_NOUDISK";
constexpr const wchar_t* kKeyNoDiskSpace = L"ERROR_NODISKSPACE";

// Language key of a work-folder or extraction result: 108, 110/116-118, 111
// and 112 have their own; any other non-zero code "ERROR_TEMPNOTAVAILABLE";
// empty only for 0.
std::wstring WorkFolderMessageKey(int code);

// Drive classes of ClassifyDrive.
enum DriveClass : int {
  kDriveLocalFixed = 1,  // the only class accepted
  kDriveRemovable = 2,   // removable, or fixed but attached by USB or IEEE 1394
  kDriveNetwork = 3,
  kDriveOptical = 4,
  kDriveRamDisk = 5,
};

// A drive needs strictly more than this many bytes free for the caller.
constexpr uint64_t kMinFreeBytes = 300000000ULL;
// True when the space rule passes: an unreadable figure passes too.
bool FreeSpaceSufficient(bool readable, uint64_t freeBytes);
// The work folder's length rule: 4 to 259 characters.
bool WorkFolderLengthOk(const std::wstring& path);

// --- conflict table ---
// Row indexes; 0 means nothing was found.
enum ConflictRowIndex : int {
  kConflictNone = 0,
  kConflictChineseEdition = 1,       // 501
  kConflictFamilyAntivirus = 2,      // 502
  kConflictChineseAndAntivirus = 3,  // 503
  kConflictPartner = 4,              // 504
  kConflictInternetSecurity = 5,     // 505
  kConflictSafeBox = 7,              // 506
  kConflictOtherEdition = 8,         // 507
  kConflictEnterprise = 9,           // 508
  kConflictWindowFilter = 10,        // 509
  kConflictCleaner = 11,             // 510
};
struct ConflictRow {
  int index;
  int code;
  const wchar_t* messageKey;
};
// The row of `index`; an unknown index gives row 0.
const ConflictRow& ConflictRowByIndex(int index);
// The row as the session record stores it (present = index != 0).
ConflictInfo ConflictInfoFromRow(int index);

// --- running family programs ---
enum RunningProgramIndex : int {
  kRunningNone = 0,
  kRunningCleanupPlus = 1,    // 1001
  kRunningAccount = 2,        // 1002
  kRunningGameBooster = 3,    // 1003
  kRunningDriverUpdater = 4,  // 1004
};
struct RunningProgramRow {
  int index;
  int code;  // 0 for row 0
  const wchar_t* messageKey;
};
const RunningProgramRow& RunningProgramRowByIndex(int index);

// --- versions ---
// A fixed file version: major, minor, build, revision.
struct ProductVersion {
  uint16_t part[4] = {0, 0, 0, 0};
  uint32_t High() const { return (uint32_t{part[0]} << 16) | part[1]; }
  uint32_t Low() const { return (uint32_t{part[2]} << 16) | part[3]; }
  std::wstring Text() const;  // "a.b.c.d"
};
// 1 when `a` is newer, 0 when equal, -1 when older ((high, low) unsigned).
int CompareVersions(const ProductVersion& a, const ProductVersion& b);
// Replaces the leading parts of `base` by the dot-separated decimal numbers
// of `dotted` (at most four; the parts not given keep `base`'s values).
// False when a given part is not a number in 0..65535 or there are more
// than four parts.
bool ApplyDottedVersion(const ProductVersion& base, const std::wstring& dotted,
                        ProductVersion* out);

// --- check order ---
// What the ordered checks ask of the machine. Each question is asked only
// when its rule is reached, since some of them create folders and files.
class PreCheckProbes {
 public:
  virtual ~PreCheckProbes() = default;
  virtual bool SupportedWindows() = 0;
  // 1 installer newer or nothing comparable, 0 same, -1 installed newer.
  virtual int CompareWithInstalled() = 0;
  // The install folder: made admin-only (its missing parents too, a link
  // refused), then written to.
  virtual bool IsWritableFolder(const std::wstring& path) = 0;
  virtual int ClassifyDrive(wchar_t letter) = 0;
  // Free bytes for the caller on the drive of `path`; false when unreadable.
  virtual bool FreeBytes(const std::wstring& path, uint64_t* bytes) = 0;
};

// Silent order: the preset conflict code, 115, 107, the procedure's 108,
// 113, 109, 112, 111. The first failing rule gives the code; 0 when all pass.
int SilentPreCheckOrder(PreCheckProbes& probes, const SessionSettings& session,
                        int procedureErrorCode);

// The interactive start-up checks of the main window, in their order. Each
// step asks the window's own means when it is reached.
class StartupCheckSteps : public PreCheckProbes {
 public:
  virtual ConflictInfo FindConflictingProduct() = 0;
  // The pending-restart check of the window: true = go on; false ends the
  // run with *exitCode (the pending-uninstall record's code; the check shows
  // its own message).
  virtual bool CheckPendingRestart(int* exitCode) = 0;
  virtual RunningProgramRow FindRunningFamilyProgram() = 0;
};
struct StartupCheckResult {
  int code = 0;                 // 0 = every check passed
  std::wstring messageKey;      // empty when passed or when the message was already shown
  bool pendingRestart = false;  // ended by the pending-restart check
};
// 107, conflict, pending restart, 115, running program, then the install
// procedure's work-folder result (`procedureErrorCode`, keyed by
// WorkFolderMessageKey).
StartupCheckResult StartupCheckOrder(StartupCheckSteps& steps, int procedureErrorCode);

// The options page's rules for a folder the user picked. Empty key = the
// candidate (`picked` + "\Lum\Bastion", in *candidate) is accepted; a
// cancelled pick (empty `picked`) gives an empty key and an empty candidate.
// `pickedIsFolder` tells whether `picked` names an existing directory.
std::wstring CheckPickedInstallFolder(PreCheckProbes& probes, const std::wstring& picked,
                                      bool pickedIsFolder, std::wstring* candidate);

}  // namespace lum
