// The pre-install checks against the real machine: drives, folders, the
// installed product's version, conflicting products and running family
// programs. The ordering rules live in pre_install_checks.h; this file
// answers them. Every result is written to the installer's log.
//
// Threading: callable from any thread. The test overrides are process-wide
// and meant to be set before the checks run.
#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "install/pre_install_checks.h"
#include "session/session_settings.h"
#include "system/app_registration_win.h"
#include "system/file_ops_win.h"
#include "system/folder_tree_win.h"

namespace lum {

constexpr const wchar_t* kInstalledVersionFile = L"ZVVer.dll";

// Class 1-5 of the drive `letter` (see DriveClass); not a letter -> 1.
int ClassifyDrive(wchar_t letter);
// Lets a test present a removable, network, optical, RAM or USB drive that
// this machine does not have. nullptr restores the real classification.
using DriveClassifier = int (*)(wchar_t letter);
void SetDriveClassifierForTest(DriveClassifier classifier);
// Free bytes for the caller on the drive root of `path` ("X:\"); false when
// the query fails. A test may override it like the classifier.
bool ReadFreeBytes(const std::wstring& path, uint64_t* bytes);
using FreeSpaceReader = bool (*)(const std::wstring& path, uint64_t* bytes);
void SetFreeSpaceReaderForTest(FreeSpaceReader reader);

// The work-folder check of the install procedure: 0, 101, 112, 111 or 108.
// On 0 the folder was created anew by this call, protected for SYSTEM and
// the Administrators (CreateProtectedFolder): `*folder` (which may end with
// a backslash, and then still does) is never a folder that was there before;
// when its name is taken, "<name>_<random hex>" names are tried and
// `*folder` names the one created. The folder stays held open by this
// process (IsProtectedFolderOfThisRun) until ReleaseProtectedFolder.
int CreateFreshWorkFolder(std::wstring* folder);

// Windows 5.1 or later, but not 5.2.
bool IsSupportedWindows();

// The installed product's "ZVVer.dll" version (App Paths "Path" + file);
// false when the folder or the version cannot be read.
bool ReadInstalledProductVersion(ProductVersion* version);
// The fixed file version of a file's version resource.
bool ReadProductVersion(const std::wstring& path, ProductVersion* version);
// Installer (own executable) against the installed product: 1 newer or not
// comparable, 0 equal, -1 installed newer.
int CompareWithInstalled();
// Installed version against `dotted`; `fallback` when nothing is installed
// or the text is not a version.
int CompareInstalledWith(const std::wstring& dotted, int fallback);

// The first conflicting family or partner product, as the session record
// stores it (codes 501-510, message key).
ConflictInfo FindConflictingProduct();
// The conflict-table index behind FindConflictingProduct.
int FindConflictRow();
// Whether a file is one the vendor vouches for. The default asks the vendor
// base module; a test may replace the check (nullptr restores it).
bool FileIsTrusted(const std::wstring& path);
using FileTrustCheck = bool (*)(const std::wstring& path);
void SetFileTrustCheckForTest(FileTrustCheck check);

// The first family program that is running. `productEdition` is asked only
// on an existing installation (it loads the product's common module); null
// counts as edition 0.
RunningProgramRow FindRunningFamilyProgram(bool productInstalled,
                                           const std::function<int()>& productEdition);

// The silent pre-check with the real machine; the install folder is
// `session.installDir`, `procedureErrorCode` the install procedure's code
// after construction. Returns the code (0 = go on).
int SilentPreCheck(const SessionSettings& session, int procedureErrorCode);

// PreCheckProbes answered by the functions above (for the window's checks).
class MachinePreCheckProbes : public PreCheckProbes {
 public:
  bool SupportedWindows() override;
  int CompareWithInstalled() override;
  bool IsWritableFolder(const std::wstring& path) override;
  int ClassifyDrive(wchar_t letter) override;
  bool FreeBytes(const std::wstring& path, uint64_t* bytes) override;
};

}  // namespace lum
