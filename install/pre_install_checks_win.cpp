#include "install/pre_install_checks_win.h"

#include <windows.h>
// These headers build on windows.h.
#include <winioctl.h>

#include <atomic>
#include <cwchar>
#include <vector>

#include "base/install_log.h"
#include "base/text.h"
#include "install/trusted_launch_win.h"
#include "system/file_ops_win.h"
#include "system/install_folder_rights_win.h"
#include "system/product_location_win.h"
#include "system/registry_win.h"
#include "system/win_handle_win.h"
#include "system/windows_version_win.h"
#include "vendor/base_module_win.h"

namespace lum {

namespace {

constexpr const char* kLog = "precheck";

// Family and partner products whose presence blocks the install.
constexpr const wchar_t* kPartnerKeys[] = {L"Warden Antivirus", L"Warden Rampart"};
constexpr const wchar_t* kOwnUninstallKey = L"LumBastion";
constexpr const wchar_t* kInternetSecurityKeys[] = {L"Lum Internet Security",
                                                    L"Lum Internet Security 2013"};
constexpr const wchar_t* kSafeBoxKeys[] = {L"safebox", L"Lum Game Safe Box"};
constexpr const wchar_t* kChineseEditionKey = L"Lum Safe Guard";
constexpr const wchar_t* kFamilyAntivirusKey = L"LumSD";
constexpr const wchar_t* kEnterpriseHostProgram = L"Lumsafe.exe";
constexpr const wchar_t* kEnterpriseClientRelative = L"\\..\\LumEntClient.exe";
constexpr const wchar_t* kWindowFilterProgram = L"Sifter.exe";

// Mutexes by which the family programs announce that they run.
constexpr const wchar_t* kCleanupPlusMutex = L"Local\\ZLumCleanupPlusWorking";
constexpr const wchar_t* kGameBoosterMutex = L"Local\\ZLumGameBooster";
constexpr const wchar_t* kDriverUpdaterMutex = L"Local\\ZLumDriverUpdaterRunning";
constexpr const wchar_t* kAccountMutex = L"Local\\ZLumAccount";

std::atomic<DriveClassifier> driveClassifierOverride{nullptr};
std::atomic<FreeSpaceReader> freeSpaceOverride{nullptr};
std::atomic<FileTrustCheck> trustCheckOverride{nullptr};

int RealClassifyDrive(wchar_t letter) {
  if (letter >= L'a' && letter <= L'z') letter = static_cast<wchar_t>(letter - L'a' + L'A');
  if (letter < L'A' || letter > L'Z') return kDriveLocalFixed;
  const std::wstring root = std::wstring(1, letter) + L":\\";
  switch (::GetDriveTypeW(root.c_str())) {
    case DRIVE_REMOVABLE:
      return kDriveRemovable;
    case DRIVE_REMOTE:
      return kDriveNetwork;
    case DRIVE_CDROM:
      return kDriveOptical;
    case DRIVE_RAMDISK:
      return kDriveRamDisk;
    default:
      break;
  }
  // A fixed disk may still hang on a USB or FireWire bus, which can go away
  // in the middle of an install.
  const std::wstring device = std::wstring(L"\\\\.\\") + letter + L":";
  UniqueFileHandle volume(::CreateFileW(device.c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                        0, nullptr));
  if (!volume) return kDriveLocalFixed;
  STORAGE_PROPERTY_QUERY query = {};
  query.PropertyId = StorageDeviceProperty;
  query.QueryType = PropertyStandardQuery;
  alignas(8) uint8_t buffer[1024] = {};
  DWORD returned = 0;
  if (!::DeviceIoControl(volume.Get(), IOCTL_STORAGE_QUERY_PROPERTY, &query, sizeof(query), buffer,
                         sizeof(buffer), &returned, nullptr) ||
      returned < offsetof(STORAGE_DEVICE_DESCRIPTOR, BusType) + sizeof(STORAGE_BUS_TYPE))
    return kDriveLocalFixed;
  const auto* descriptor = reinterpret_cast<const STORAGE_DEVICE_DESCRIPTOR*>(buffer);
  if (descriptor->BusType == BusTypeUsb || descriptor->BusType == BusType1394)
    return kDriveRemovable;
  return kDriveLocalFixed;
}

bool RealReadFreeBytes(const std::wstring& path, uint64_t* bytes) {
  if (path.empty()) return false;
  const std::wstring root = std::wstring(1, path[0]) + L":\\";
  ULARGE_INTEGER available = {};
  if (!::GetDiskFreeSpaceExW(root.c_str(), &available, nullptr, nullptr)) return false;
  *bytes = available.QuadPart;
  return true;
}

std::wstring Unquoted(const std::wstring& text) {
  const std::wstring trimmed = TrimBlanks(text);
  if (!trimmed.empty() && trimmed[0] == L'"') {
    const size_t close = trimmed.find(L'"', 1);
    return trimmed.substr(1, close == std::wstring::npos ? std::wstring::npos : close - 1);
  }
  return trimmed;
}

// The uninstall key's "UninstallString" names an existing file.
bool UninstallerPresent(const std::wstring& keyName, std::wstring* uninstaller = nullptr) {
  RegKey key;
  std::wstring command;
  if (!key.Open(HKEY_LOCAL_MACHINE, kUninstallRoot + keyName, KEY_QUERY_VALUE) ||
      !key.ReadString(L"UninstallString", &command))
    return false;
  const std::wstring path = Unquoted(command);
  const bool present = !path.empty() && FileExists(path);
  log::Action(kLog, present ? L"uninstaller present" : L"uninstaller missing", path,
              present ? 0 : 1);
  if (present && uninstaller) *uninstaller = path;
  return present;
}

// The default value of a program's App Paths key, without quotes.
std::wstring AppPathsProgram(const std::wstring& program) {
  RegKey key;
  std::wstring value;
  if (!key.Open(HKEY_LOCAL_MACHINE, kAppPathsRoot + program, KEY_QUERY_VALUE) ||
      !key.ReadString(L"", &value))
    return std::wstring();
  return Unquoted(value);
}

// Collapses "." and ".." lexically, as Windows does when it opens a path.
std::wstring FullPath(const std::wstring& path) {
  wchar_t buffer[MAX_PATH * 2] = {};
  const DWORD length = ::GetFullPathNameW(path.c_str(), MAX_PATH * 2, buffer, nullptr);
  if (length == 0 || length >= MAX_PATH * 2) return path;
  return buffer;
}

bool TrustedFilePresent(const std::wstring& path) {
  if (path.empty() || !FileExists(path)) return false;
  const bool trusted = FileIsTrusted(path);
  log::Action(kLog, trusted ? L"vendor file trusted" : L"vendor file not trusted", path,
              trusted ? 0 : 1);
  return trusted;
}

int FindConflictRowUnlogged() {
  for (const wchar_t* name : kPartnerKeys)
    if (UninstallerPresent(name)) return kConflictPartner;

  RegKey own;
  std::wstring edition;
  if (own.Open(HKEY_LOCAL_MACHINE, std::wstring(kUninstallRoot) + kOwnUninstallKey,
               KEY_QUERY_VALUE) &&
      own.ReadString(L"Edition", &edition)) {
    log::Note(kLog, L"installed edition: " + edition);
    if (EqualsNoCase(edition, L"Cleaner")) return kConflictCleaner;
    if (!EqualsNoCase(edition, L"Professional")) return kConflictOtherEdition;
  }

  for (const wchar_t* name : kInternetSecurityKeys)
    if (UninstallerPresent(name)) return kConflictInternetSecurity;
  for (const wchar_t* name : kSafeBoxKeys)
    if (UninstallerPresent(name)) return kConflictSafeBox;

  const std::wstring hostProgram = AppPathsProgram(kEnterpriseHostProgram);
  if (!hostProgram.empty() && TrustedFilePresent(FullPath(hostProgram + kEnterpriseClientRelative)))
    return kConflictEnterprise;

  const bool chineseEdition = UninstallerPresent(kChineseEditionKey);
  std::wstring antivirus;
  if (UninstallerPresent(kFamilyAntivirusKey, &antivirus) && TrustedFilePresent(antivirus))
    return chineseEdition ? kConflictChineseAndAntivirus : kConflictFamilyAntivirus;

  if (TrustedFilePresent(AppPathsProgram(kWindowFilterProgram))) return kConflictWindowFilter;
  return chineseEdition ? kConflictChineseEdition : kConflictNone;
}

// A named mutex that someone else created (ours is closed at once).
bool MutexAlreadyExists(const wchar_t* name) {
  UniqueHandle mutex(::CreateMutexW(nullptr, FALSE, name));
  return ::GetLastError() == ERROR_ALREADY_EXISTS;
}

const RunningProgramRow& LoggedRunningRow(int index) {
  const RunningProgramRow& row = RunningProgramRowByIndex(index);
  log::Action(kLog, L"family program running check", row.messageKey, row.code);
  return row;
}

}  // namespace

int ClassifyDrive(wchar_t letter) {
  const DriveClassifier classifier = driveClassifierOverride.load();
  const int result = classifier ? classifier(letter) : RealClassifyDrive(letter);
  log::Action(kLog, L"drive class", std::wstring(1, letter) + L":", result);
  return result;
}

void SetDriveClassifierForTest(DriveClassifier classifier) {
  driveClassifierOverride.store(classifier);
}

bool ReadFreeBytes(const std::wstring& path, uint64_t* bytes) {
  const FreeSpaceReader reader = freeSpaceOverride.load();
  const bool ok = reader ? reader(path, bytes) : RealReadFreeBytes(path, bytes);
  if (ok)
    log::Note(kLog, L"free bytes for " + path + L": " + std::to_wstring(*bytes));
  else
    log::Action(kLog, L"free space unreadable", path, 1);
  return ok;
}

void SetFreeSpaceReaderForTest(FreeSpaceReader reader) { freeSpaceOverride.store(reader); }

namespace {

constexpr int kFreshNameAttempts = 100;

// Eight hex digits from the system's random source (the tick count and a
// counter where it is missing).
std::wstring RandomSuffix() {
  using GenRandom = BOOLEAN(WINAPI*)(PVOID, ULONG);
  static const auto generate = reinterpret_cast<GenRandom>(reinterpret_cast<void*>(::GetProcAddress(
      ::GetModuleHandleW(L"advapi32.dll"), "SystemFunction036")));
  static std::atomic<uint32_t> counter{0};
  uint32_t value = ::GetTickCount() * 2654435761u + counter++;
  if (generate) generate(&value, sizeof(value));
  wchar_t text[16] = {};
  std::swprintf(text, 16, L"%08x", value);
  return text;
}

// The drive and space part of the check, on the folder's name alone.
int WorkFolderPlaceCheck(const std::wstring& path) {
  if (!WorkFolderLengthOk(path)) return kCheckWorkFolderPath;
  if (ClassifyDrive(path[0]) != kDriveLocalFixed) return kCheckUnsuitableDrive;
  uint64_t freeBytes = 0;
  const bool readable = ReadFreeBytes(path, &freeBytes);
  if (!FreeSpaceSufficient(readable, freeBytes)) return kCheckNoDiskSpace;
  return kCheckPassed;
}

}  // namespace

int CreateFreshWorkFolder(std::wstring* folder) {
  const bool slash = !folder->empty() && (folder->back() == L'\\' || folder->back() == L'/');
  std::wstring base = *folder;
  if (slash) base.pop_back();
  int code = WorkFolderPlaceCheck(*folder);
  if (code == kCheckPassed) {
    code = kCheckWorkFolderUnwritable;
    const std::wstring parent = ParentFolder(base);
    if (!parent.empty() && CreateFolderTree(parent)) {
      for (int attempt = 0; attempt < kFreshNameAttempts; ++attempt) {
        // A taken name is followed by unforeseeable ones: names planted in
        // advance cannot use up the attempts.
        const std::wstring candidate = attempt == 0 ? base : base + L"_" + RandomSuffix();
        if (!WorkFolderLengthOk(candidate + L"\\")) {
          code = kCheckWorkFolderPath;
          break;
        }
        if (CreateProtectedFolder(candidate)) {
          base = candidate;
          code = IsWritableFolder(base) ? kCheckPassed : kCheckWorkFolderUnwritable;
          break;
        }
        const DWORD error = ::GetLastError();
        // Someone else's folder (or file) of that name: never used, next name.
        log::Action(kLog, L"work folder name taken or refused", candidate,
                    static_cast<long>(error));
        if (error != ERROR_ALREADY_EXISTS) break;
      }
    }
  }
  if (code == kCheckPassed) *folder = slash ? base + L"\\" : base;
  log::Action(kLog, L"work folder created anew", *folder, code);
  return code;
}

bool IsSupportedWindows() {
  static const bool atLeastXp = GetWindowsVersion().AtLeast(5, 1);
  const WindowsVersion version = GetWindowsVersion();
  const bool supported = atLeastXp && !(version.major == 5 && version.minor == 2);
  log::Action(kLog, L"Windows version check",
              std::to_wstring(version.major) + L"." + std::to_wstring(version.minor),
              supported ? 0 : kCheckUnsupportedWindows);
  return supported;
}

bool ReadProductVersion(const std::wstring& path, ProductVersion* version) {
  FileVersion file;
  if (path.empty() || !ReadFileVersion(path, &file)) return false;
  version->part[0] = file.major;
  version->part[1] = file.minor;
  version->part[2] = file.build;
  version->part[3] = file.revision;
  return true;
}

bool ReadInstalledProductVersion(ProductVersion* version) {
  const std::wstring folder = ReadProductFolder();
  if (folder.empty()) return false;
  const std::wstring file = WithTrailingSlash(folder) + kInstalledVersionFile;
  const bool ok = ReadProductVersion(file, version);
  log::Action(kLog, ok ? L"installed version " + version->Text() : L"installed version unreadable",
              file, ok ? 0 : 1);
  return ok;
}

int CompareWithInstalled() {
  ProductVersion own;
  ProductVersion installed;
  int result = 1;
  if (ReadProductVersion(OwnModulePath(), &own) && ReadInstalledProductVersion(&installed))
    result = CompareVersions(own, installed);
  log::Action(kLog, L"installer against installed version (1 newer, 0 same, -1 older)", own.Text(),
              result);
  return result;
}

int CompareInstalledWith(const std::wstring& dotted, int fallback) {
  ProductVersion installed;
  ProductVersion other;
  int result = fallback;
  if (ReadInstalledProductVersion(&installed) && ApplyDottedVersion(installed, dotted, &other))
    result = CompareVersions(installed, other);
  log::Action(kLog, L"installed version against", dotted, result);
  return result;
}

bool FileIsTrusted(const std::wstring& path) {
  const FileTrustCheck check = trustCheckOverride.load();
  if (check) return check(path);
  // The product's own acknowledged folder first, the base module's verdict
  // otherwise: the same rule that guards every program the installer starts.
  return IsTrustedImage(path);
}

void SetFileTrustCheckForTest(FileTrustCheck check) { trustCheckOverride.store(check); }

int FindConflictRow() {
  const int index = FindConflictRowUnlogged();
  const ConflictRow& row = ConflictRowByIndex(index);
  log::Action(kLog, L"conflicting product check", row.messageKey, row.code);
  return index;
}

ConflictInfo FindConflictingProduct() { return ConflictInfoFromRow(FindConflictRow()); }

RunningProgramRow FindRunningFamilyProgram(bool productInstalled,
                                           const std::function<int()>& productEdition) {
  {
    UniqueHandle cleanup(::OpenMutexW(SYNCHRONIZE, FALSE, kCleanupPlusMutex));
    // Any answer but "no such object" (access denied included) means the
    // cleaner holds it.
    if (cleanup || ::GetLastError() != ERROR_FILE_NOT_FOUND)
      return LoggedRunningRow(kRunningCleanupPlus);
  }
  if (MutexAlreadyExists(kGameBoosterMutex)) return LoggedRunningRow(kRunningGameBooster);
  {
    UniqueHandle updater(::OpenMutexW(SYNCHRONIZE, FALSE, kDriverUpdaterMutex));
    if (updater) return LoggedRunningRow(kRunningDriverUpdater);
  }
  if (productInstalled) {
    const int edition = productEdition ? productEdition() : 0;
    // These editions carry the account program themselves.
    if (edition == 2 || edition == 3) return LoggedRunningRow(kRunningNone);
  }
  if (MutexAlreadyExists(kAccountMutex)) return LoggedRunningRow(kRunningAccount);
  return LoggedRunningRow(kRunningNone);
}

bool MachinePreCheckProbes::SupportedWindows() { return IsSupportedWindows(); }
int MachinePreCheckProbes::CompareWithInstalled() { return lum::CompareWithInstalled(); }
bool MachinePreCheckProbes::IsWritableFolder(const std::wstring& path) {
  // The install folder is made (or taken over) admin-only before anything
  // is written into it, its missing parents too; a link is refused.
  return SecureInstallFolder(path) && lum::IsWritableFolder(path);
}
int MachinePreCheckProbes::ClassifyDrive(wchar_t letter) { return lum::ClassifyDrive(letter); }
bool MachinePreCheckProbes::FreeBytes(const std::wstring& path, uint64_t* bytes) {
  return ReadFreeBytes(path, bytes);
}

int SilentPreCheck(const SessionSettings& session, int procedureErrorCode) {
  MachinePreCheckProbes probes;
  return SilentPreCheckOrder(probes, session, procedureErrorCode);
}

}  // namespace lum
