#include "install/pre_install_checks.h"

#include "base/install_log.h"
#include "base/text.h"

namespace lum {

namespace {

constexpr const char* kLog = "precheck";

const ConflictRow kConflictRows[] = {
    {kConflictNone, 0, L""},
    {kConflictChineseEdition, 501, L"ERROR_CNSAFEEXIST"},
    {kConflictFamilyAntivirus, 502, L"ERROR_CNSDEXIST"},
    {kConflictChineseAndAntivirus, 503, L"ERROR_CNSAFESDEXIST"},
    {kConflictPartner, 504, L"ERROR_CNWARDENEXIST"},
    {kConflictInternetSecurity, 505, L"ERROR_CNINTERNETEXIST"},
    {kConflictSafeBox, 506, L"ERROR_CNLUMSAFEBOX"},
    {kConflictOtherEdition, 507, L"ERROR_CNLUMBASTIONESSENTIAL"},
    {kConflictEnterprise, 508, L"ERROR_CNSAFEEXIST_ENT"},
    {kConflictWindowFilter, 509, L"ERROR_CNWNDFILTEREXIST"},
    {kConflictCleaner, 510, L"ERROR_PC_CLEANER"},
};

const RunningProgramRow kRunningRows[] = {
    {kRunningNone, 0, L""},
    {kRunningCleanupPlus, 1001, L"ERROR_RUNNING_CLEANPLUS"},
    {kRunningAccount, 1002, L"ERROR_RUNNING_ACCOUNT"},
    {kRunningGameBooster, 1003, L"ERROR_RUNNING_GAME_BOOSTER"},
    {kRunningDriverUpdater, 1004, L"ERROR_RUNNING_DRIVER_UPDATER"},
};

int Logged(const wchar_t* check, const std::wstring& where, int code) {
  log::Action(kLog, check, where, code);
  return code;
}

}  // namespace

std::wstring WorkFolderMessageKey(int code) {
  switch (code) {
    case kCheckPassed:
      return std::wstring();
    case kCheckWorkFolderUnwritable:
      return kKeyTempUnwritable;
    case kCheckExtractedFileMissing:
    case kCheckArchiveLibrary:
    case kCheckArchiveExtraction:
    case kCheckArchiveWrite:
      return kKeyTempNoFile;
    case kCheckNoDiskSpace:
      return kKeyTempNoDiskSpace;
    case kCheckUnsuitableDrive:
      return kKeyTempNoUDisk;
    default:
      // Every failure needs words: an empty key would read as "already shown".
      return kKeyTempNotAvailable;
  }
}

bool FreeSpaceSufficient(bool readable, uint64_t freeBytes) {
  return !readable || freeBytes > kMinFreeBytes;
}

bool WorkFolderLengthOk(const std::wstring& path) { return path.size() >= 4 && path.size() <= 259; }

const ConflictRow& ConflictRowByIndex(int index) {
  for (const ConflictRow& row : kConflictRows)
    if (row.index == index) return row;
  return kConflictRows[0];
}

ConflictInfo ConflictInfoFromRow(int index) {
  const ConflictRow& row = ConflictRowByIndex(index);
  ConflictInfo info;
  info.present = row.index != kConflictNone;
  info.exitCode = row.code;
  info.messageKey = row.messageKey;
  return info;
}

const RunningProgramRow& RunningProgramRowByIndex(int index) {
  for (const RunningProgramRow& row : kRunningRows)
    if (row.index == index) return row;
  return kRunningRows[0];
}

std::wstring ProductVersion::Text() const {
  return std::to_wstring(part[0]) + L"." + std::to_wstring(part[1]) + L"." +
         std::to_wstring(part[2]) + L"." + std::to_wstring(part[3]);
}

int CompareVersions(const ProductVersion& a, const ProductVersion& b) {
  if (a.High() != b.High()) return a.High() > b.High() ? 1 : -1;
  if (a.Low() != b.Low()) return a.Low() > b.Low() ? 1 : -1;
  return 0;
}

bool ApplyDottedVersion(const ProductVersion& base, const std::wstring& dotted,
                        ProductVersion* out) {
  const std::vector<std::wstring> parts = Split(dotted, L'.', false);
  if (parts.empty() || parts.size() > 4) return false;
  ProductVersion result = base;
  for (size_t i = 0; i < parts.size(); ++i) {
    const std::wstring& text = parts[i];
    if (text.empty() || text.size() > 5) return false;
    uint32_t value = 0;
    for (wchar_t c : text) {
      if (c < L'0' || c > L'9') return false;
      value = value * 10 + static_cast<uint32_t>(c - L'0');
    }
    if (value > 0xFFFF) return false;
    result.part[i] = static_cast<uint16_t>(value);
  }
  *out = result;
  return true;
}

int SilentPreCheckOrder(PreCheckProbes& probes, const SessionSettings& session,
                        int procedureErrorCode) {
  const std::wstring& folder = session.installDir;
  if (session.conflictPresent)
    return Logged(L"silent check: conflicting product", session.conflictMessageKey,
                  session.conflictExitCode);
  if (probes.CompareWithInstalled() == -1)
    return Logged(L"silent check: newer version installed", L"", kCheckNewerInstalled);
  if (!probes.SupportedWindows())
    return Logged(L"silent check: Windows version", L"", kCheckUnsupportedWindows);
  if (procedureErrorCode == kCheckWorkFolderUnwritable)
    return Logged(L"silent check: work folder", L"", kCheckWorkFolderUnwritable);
  if (folder.empty())
    return Logged(L"silent check: install folder empty", L"", kCheckInstallDirEmpty);
  if (!probes.IsWritableFolder(folder))
    return Logged(L"silent check: install folder writable", folder, kCheckInstallDirUnwritable);
  if (probes.ClassifyDrive(folder[0]) != kDriveLocalFixed)
    return Logged(L"silent check: install drive", folder, kCheckUnsuitableDrive);
  uint64_t freeBytes = 0;
  const bool readable = probes.FreeBytes(folder, &freeBytes);
  if (!FreeSpaceSufficient(readable, freeBytes))
    return Logged(L"silent check: free space", folder, kCheckNoDiskSpace);
  return Logged(L"silent check: all passed", folder, kCheckPassed);
}

StartupCheckResult StartupCheckOrder(StartupCheckSteps& steps, int procedureErrorCode) {
  StartupCheckResult result;
  auto fail = [&result](const wchar_t* what, int code, const std::wstring& key) {
    result.code = code;
    result.messageKey = key;
    log::Action(kLog, what, key, code);
    return result;
  };
  if (!steps.SupportedWindows())
    return fail(L"start check: Windows version", kCheckUnsupportedWindows, kKeyUnsupportedWindows);
  const ConflictInfo conflict = steps.FindConflictingProduct();
  if (conflict.present)
    return fail(L"start check: conflicting product", conflict.exitCode, conflict.messageKey);
  int pendingCode = 0;
  if (!steps.CheckPendingRestart(&pendingCode)) {
    result.pendingRestart = true;
    return fail(L"start check: pending restart", pendingCode, L"");
  }
  if (steps.CompareWithInstalled() == -1)
    return fail(L"start check: newer version installed", kCheckNewerInstalled, kKeyNewerInstalled);
  const RunningProgramRow running = steps.FindRunningFamilyProgram();
  if (running.index != kRunningNone)
    return fail(L"start check: family program running", running.code, running.messageKey);
  if (procedureErrorCode != 0)
    return fail(L"start check: work folder", procedureErrorCode,
                WorkFolderMessageKey(procedureErrorCode));
  log::Note(kLog, L"start check: all passed");
  return result;
}

std::wstring CheckPickedInstallFolder(PreCheckProbes& probes, const std::wstring& picked,
                                      bool pickedIsFolder, std::wstring* candidate) {
  candidate->clear();
  if (picked.empty()) return std::wstring();
  std::wstring key;
  if (!pickedIsFolder) {
    key = kKeyNotWritable;
  } else if (picked.size() > 100) {
    key = kKeyTooLong;
  } else if (picked.compare(0, 2, L"\\\\") == 0) {
    key = kKeyNoUDisk;
  } else {
    std::wstring folder = picked;
    while (!folder.empty() && (folder.back() == L'\\' || folder.back() == L'/')) folder.pop_back();
    folder += L"\\Lum\\Bastion";
    if (probes.ClassifyDrive(folder[0]) != kDriveLocalFixed) {
      key = kKeyNoUDisk;
    } else {
      uint64_t freeBytes = 0;
      const bool readable = probes.FreeBytes(folder, &freeBytes);
      if (FreeSpaceSufficient(readable, freeBytes))
        *candidate = folder;
      else
        key = kKeyNoDiskSpace;
    }
  }
  log::Action(kLog, L"picked install folder" + (key.empty() ? L"" : L": " + key), picked,
              key.empty() ? 0 : 1);
  return key;
}

}  // namespace lum
