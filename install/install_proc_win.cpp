#include "install/install_proc_win.h"

#include <windows.h>
// These headers build on windows.h.
#include <shellapi.h>
#include <shlobj.h>

#include <atomic>
#include <cwchar>

#include "base/exit_codes.h"
#include "base/install_log.h"
#include "base/prescribed_wait.h"
#include "base/text.h"
#include "browser/browser_detect_win.h"
#include "browser/browser_extensions_win.h"
#include "browser/partner_offer_win.h"
#include "i18n/font_rules.h"
#include "install/account_link.h"
#include "install/account_link_win.h"
#include "install/active_defense_win.h"
#include "install/component_manifest.h"
#include "install/config_files_win.h"
#include "install/driver_pass_win.h"
#include "install/installed_product_win.h"
#include "install/pre_install_checks_win.h"
#include "install/process_termination_win.h"
#include "install/product_records_win.h"
#include "install/product_registry_win.h"
#include "install/progress.h"
#include "install/protected_service_win.h"
#include "install/scan_engine_win.h"
#include "install/settings_backup.h"
#include "install/shell_win.h"
#include "install/shortcut_pass_win.h"
#include "install/stopped_product_win.h"
#include "install/trusted_launch_win.h"
#include "payload/archive_extract_win.h"
#include "payload/resource_file_win.h"
#include "report/reports_win.h"
#include "session/session_settings.h"
#include "system/context_menu_win.h"
#include "system/file_ops_win.h"
#include "system/folder_tree_win.h"
#include "system/handle_tree_win.h"
#include "system/install_folder_rights_win.h"
#include "system/placement_files_win.h"
#include "system/placement_journal.h"
#include "system/product_handshake_win.h"
#include "system/product_location_win.h"
#include "system/reboot_ops_win.h"
#include "system/registry_access_win.h"
#include "system/registry_win.h"
#include "system/shell_start_win.h"
#include "system/windows_restart_win.h"
#include "system/windows_version_win.h"
#include "vendor/base_module_win.h"
#include "vendor/product_modules_win.h"

namespace lum {

namespace {

constexpr const char* kLog = "install";
constexpr const wchar_t* kExtractFolder = L"temp_files";
constexpr const wchar_t* kMuiCacheKey =
    L"Local Settings\\Software\\Microsoft\\Windows\\Shell\\MuiCache";
constexpr const wchar_t* kMonitorClass = L"ZLumSafeMonClass";
constexpr UINT kMonitorMessage = 0x416;
constexpr WPARAM kMonitorCommand = 206;
// Agreed with the real-time monitor: "LUMI".
constexpr LPARAM kMonitorIdentification = 0x4C554D49;
constexpr size_t kStartBufferBytes = 2000;

ProgressRule& Progress() {
  static ProgressRule rule;
  return rule;
}
std::atomic<bool> extractionFailed{false};
CInstallProc* theProcedure = nullptr;

std::wstring Timestamp() {
  SYSTEMTIME t;
  ::GetLocalTime(&t);
  wchar_t text[32];
  std::swprintf(text, 32, L"%04u%02u%02u%02u%02u%02u", t.wYear, t.wMonth, t.wDay, t.wHour,
                t.wMinute, t.wSecond);
  return text;
}

void SleepMs(DWORD ms) { ::Sleep(ms); }

// "error 32: The process cannot access the file ..." for the log.
std::wstring SystemErrorText(unsigned long error) {
  wchar_t text[256] = {};
  DWORD length = ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, error, 0, text, 255, nullptr);
  while (length > 0 && (text[length - 1] == L'\r' || text[length - 1] == L'\n' ||
                        text[length - 1] == L' ' || text[length - 1] == L'.'))
    --length;
  std::wstring result = L"error " + std::to_wstring(error);
  if (length > 0) result += L": " + std::wstring(text, length);
  return result;
}

void DriverPassProgress(int index, void* context) {
  static const int kPositions[6] = {74, 76, 78, 80, 82, 84};
  if (index >= 0 && index < 6) static_cast<CInstallProc*>(context)->ReportProgress(kPositions[index], 100);
}

}  // namespace

bool ExtractionFailed() { return extractionFailed.load(); }

// --- construction (A) ---

CInstallProc::CInstallProc()
    : startEvent_(::CreateEventW(nullptr, FALSE, FALSE, nullptr)),
      extractionReleased_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
  ::InitializeCriticalSection(&lock_);
  ChooseWorkFolder();
  if (Session().productInstalled) {
    reinstallIgnored_ = LoadReinstallIgnored();
    log::Note(kLog, L"reinstall exclusions: " + std::to_wstring(reinstallIgnored_.size()));
  }
}

CInstallProc::~CInstallProc() {
  Stop();
  ::DeleteCriticalSection(&lock_);
}

void CInstallProc::ChooseWorkFolder() {
  SessionSettings& session = Session();
  WorkFolderFacts facts;
  if (TokenIsElevated()) {
    // The user's own %TEMP% is his: he could swap the folder, or a folder on
    // its way, for his own between our check and the archive library's
    // load. The system's temporary folder is named by the system, and there
    // no one else may rename or delete what we create.
    facts.tempPath = WindowsTempFolder();
  } else {
    wchar_t temp[MAX_PATH + 1] = {};
    const DWORD length = ::GetTempPathW(MAX_PATH, temp);
    if (length > 0 && length < MAX_PATH) facts.tempPath = temp;
  }
  facts.name = WorkFolderName(Timestamp(), ::GetTickCount());
  facts.silent = session.silent;
  facts.installDirExplicit = session.installDirExplicit;
  facts.installDir = session.installDir;
  facts.check = [](std::wstring* candidate) { return CreateFreshWorkFolder(candidate); };
  const WorkFolderChoice choice = lum::ChooseWorkFolder(facts);
  errorCode_ = choice.code;
  workDir_ = choice.folder;
  if (!choice.installDir.empty()) {
    session.SetInstallDir(choice.installDir, false);
    log::Note(kLog, L"install folder follows the work folder's drive: " + choice.installDir);
  }
  log::Action(kLog, L"choose work folder", workDir_, errorCode_);
}

// --- worker window (B, J) ---

bool CInstallProc::ProcessWindowMessage(HWND, UINT message, WPARAM wParam, LPARAM lParam,
                                        LRESULT& result) {
  if (message == WM_CREATE) {
    OnCreate();
    result = 0;
    return true;
  }
  if (message == WM_COMMAND && LOWORD(wParam) == kStartInstallCommand && lParam != 0) {
    OnStartCommand(reinterpret_cast<wchar_t*>(lParam));
    result = 0;
    return true;
  }
  return false;
}

void CInstallProc::OnCreate() {
  ::SetEvent(startEvent_.Get());
  // The worker thread's COM lives as long as the thread does.
  ::CoInitialize(nullptr);
  if (errorCode_ != 0) return;
  // The user reads the page for seconds; its first paint comes first.
  if (::WaitForSingleObject(extractionReleased_.Get(), kExtractionHoldMs) != WAIT_OBJECT_0)
    log::Note(kLog, L"welcome page not shown yet: extracting all the same");
  Extract();
}

void CInstallProc::ReleaseExtraction() {
  if (extractionReleased_) ::SetEvent(extractionReleased_.Get());
}

bool CInstallProc::StartInstall(HWND notifyWnd, const std::wstring& folder) {
  RecordCampaign(Session().campaign);
  // Without its window the worker never signals the start event: waiting
  // for it would hang the interface.
  if (folder.empty() || !Window()) return false;
  auto* buffer = static_cast<wchar_t*>(::HeapAlloc(::GetProcessHeap(), HEAP_ZERO_MEMORY,
                                                   kStartBufferBytes));
  if (!buffer) return false;
  const size_t chars = folder.size() < 999 ? folder.size() : 999;
  folder.copy(buffer, chars);
  notifyWnd_ = notifyWnd;
  ::WaitForSingleObject(startEvent_.Get(), INFINITE);
  if (!::PostMessageW(Window(), WM_COMMAND, kStartInstallCommand,
                      reinterpret_cast<LPARAM>(buffer))) {
    ::HeapFree(::GetProcessHeap(), 0, buffer);
    return false;
  }
  return true;
}

void CInstallProc::OnStartCommand(wchar_t* folder) {
  installDir_ = folder;
  ::HeapFree(::GetProcessHeap(), 0, folder);
  log::Note(kLog, L"install requested into " + installDir_);
  while (errorCode_ == 0) {
    if (InstallRun(true)) break;
    if (retryCount_++ > 2) break;
    log::Note(kLog, L"install attempt failed; extracting again");
    Extract();
  }
  UnloadArchiveLibrary();
  archiveLibraryReady_ = false;
  if (errorCode_ == kExtractFolderUnwritable && !Session().productInstalled) {
    CShell shell(Session().installDir, workDir_ + kExtractFolder);
    log::Action(kLog, L"remove install folder after failure (Repair.exe kept)",
                Session().installDir, shell.DeleteTree(Session().installDir, false) ? 0 : 1);
  }
  // Set before the failure's 100 is posted, so the window never waits for it.
  runFinished_ = true;
  if (errorCode_ != 0) ReportProgress(100, 100);
}

// --- silent run (D) ---

bool CInstallProc::RunSilent(SilentLoop& loop) {
  installDir_ = Session().installDir;
  if (installDir_.empty()) return false;
  // A silent reinstall holds off log-off and shut-down until its files are
  // in place; a first install has nothing to lose by being cut off.
  const bool updatePrompts = Session().productInstalled && Session().silent;
  if (!loop.Create(updatePrompts)) return false;
  silentLoop_ = &loop;
  UniqueHandle body(::CreateThread(nullptr, 0, &CInstallProc::SilentBody, this, 0, nullptr));
  if (!body) {
    errorCode_ = kExitWorkerThread;
    silentLoop_ = nullptr;
    log::Action(kLog, L"start silent body thread", L"", static_cast<long>(::GetLastError()));
    return false;
  }
  loop.Run();
  ::WaitForSingleObject(body.Get(), INFINITE);
  silentLoop_ = nullptr;
  return errorCode_ == 0;
}

DWORD WINAPI CInstallProc::SilentBody(void* parameter) {
  auto* self = static_cast<CInstallProc*>(parameter);
  {
    CoInit com;
    OleInit ole;
    self->Extract();
    UnloadArchiveLibrary();
    self->archiveLibraryReady_ = false;
    // Nothing to install from a failed extraction: its code is the outcome.
    if (self->errorCode_ == 0) self->InstallRun(true);
    ::PostMessageW(self->silentLoop_->Window(), SilentLoop::kSilentDone, 0, 0);
  }
  return 0;
}

void CInstallProc::RequestCancel() {
  ReleaseExtraction();
  ::EnterCriticalSection(&lock_);
  cancelRequested_ = true;
  ::LeaveCriticalSection(&lock_);
}

// --- progress (F) ---

void CInstallProc::ReportProgress(int position, int) {
  if (!Progress().Accept(position)) return;
  if (notifyWnd_)
    ::PostMessageW(notifyWnd_, WM_COMMAND, kProgressCommand,
                   static_cast<LPARAM>(ProgressLParam(position)));
}

// --- extraction (C) ---

bool CInstallProc::Extract() {
  copyList_.clear();
  errorCode_ = 0;
  // Only the folder this run made and holds: never one made again, or found,
  // under its name.
  if (!IsProtectedFolderOfThisRun(workDir_)) {
    errorCode_ = kExtractFolderUnwritable;
    log::Action(kLog, L"extract payload: work folder refused, not the one this run made", workDir_,
                errorCode_);
    return false;
  }
  errorCode_ = ExtractPayload(workDir_, archiveLibraryReady_, this);
  // An archive that cannot even be opened never reaches OnEnd, yet its
  // extraction failed all the same.
  if (errorCode_ == kExtractArchiveFailed) extractionFailed = true;
  log::Action(kLog, L"extract payload (" + std::to_wstring(copyList_.size()) + L" files)",
              workDir_ + kExtractFolder, errorCode_);
  return errorCode_ == 0;
}

int CInstallProc::OnBegin(const wchar_t*, const wchar_t*) { return 0; }

int CInstallProc::OnItem(uint32_t, uint32_t, const wchar_t*, bool, const uint64_t*) {
  ::EnterCriticalSection(&lock_);
  const bool cancel = cancelRequested_;
  ::LeaveCriticalSection(&lock_);
  return cancel ? kCancelExtraction : kExtractItem;
}

int CInstallProc::OnItemDone(uint32_t, uint32_t, const wchar_t* path, bool isDirectory) {
  if (path && ShouldCopyItem(path, isDirectory, reinstallIgnored_)) copyList_.push_back(path);
  return 0;
}

void CInstallProc::OnEnd(bool succeeded) {
  if (!succeeded) extractionFailed = true;
}

// --- install run (E) ---

bool CInstallProc::PlaceFiles(PlacementJournal& journal) {
  const SessionSettings& session = Session();
  const std::wstring source = workDir_ + kExtractFolder + L"\\";
  const std::wstring target = WithTrailingSlash(installDir_);
  const bool muiFriendly = GetWindowsVersion().IsWindows8OrLater();
  // A rolled-back placement schedules nothing: the flags it raised go too.
  const bool rebootNeededBefore = RebootNeeded();
  const bool doNotStartBefore = DoNotStartProduct();
  const size_t n = copyList_.size();
  // The extracted files are this run's own, in a folder only the
  // administrators can reach: on the install folder's volume they are
  // renamed into place rather than written a second time.
  placedByRename_ = OnSameVolume(source, target);
  log::Note(kLog, placedByRename_
                      ? L"placement by rename: work folder on the install folder's volume"
                      : L"placement by copy: work folder on another volume than " + target);
  journal.Begin();
  for (size_t i = 0; i < n && errorCode_ == 0; ++i) {
    const std::wstring from = source + copyList_[i];
    const std::wstring to = target + copyList_[i];
    const PlacementResult placed = PlaceInstallFile(journal, from, to, placedByRename_);
    if (placed.outcome == FilePlacement::kSourceMissing) {
      errorCode_ = kProcExtractedFileMissing;
      log::Action(kLog, L"extracted file missing", from, kProcExtractedFileMissing);
    } else if (placed.outcome == FilePlacement::kFailed) {
      errorCode_ = kProcFileNotPlaced;
      log::Action(kLog, L"file not placed: " + to + L": " + placed.reason + L" (" +
                            SystemErrorText(placed.error) + L")",
                  to, static_cast<long>(placed.error));
    }
    if (session.productInstalled && to.size() > 4 &&
        EqualsNoCase(to.substr(to.size() - 4), L".exe")) {
      RegKey cache;
      if (cache.Open(HKEY_CLASSES_ROOT, kMuiCacheKey, KEY_SET_VALUE))
        cache.DeleteValue(muiFriendly ? to + L".FriendlyAppName" : to);
    }
    if (notifyWnd_ && retryCount_ == 0)
      ReportProgress(PlacementPosition(i, n), 100);
  }
  if (errorCode_ != 0) {
    // Half a product is worse than the old one: every file goes back.
    const bool restored = journal.Rollback();
    SetRebootNeeded(rebootNeededBefore);
    SetDoNotStartProduct(doNotStartBefore);
    if (!restored) {
      for (const std::wstring& file : journal.NotRestored())
        log::Action(kLog, L"rollback incomplete: " + file, file, kProcRollbackIncomplete);
      log::Action(kLog, L"place files failed; rollback incomplete, the product is not started",
                  installDir_, kProcRollbackIncomplete);
      errorCode_ = kProcRollbackIncomplete;
      SetDoNotStartProduct(true);
      return false;
    }
    log::Action(kLog, L"place files failed; installed files restored", installDir_, errorCode_);
    return false;
  }
  journal.Commit();
  log::Action(kLog, L"place files (" + std::to_wstring(n) + L")", installDir_, 0);
  return true;
}

void CInstallProc::WriteAccountMarker() {
  const SessionSettings& session = Session();
  const std::wstring marker = WithTrailingSlash(installDir_) + L"EEMarker.dll";
  AccountLinkFacts link;  // the installed product's record, before this run rewrites it
  link.storedHashKnown = ReadBusinessHash(&link.storedHash);
  if (session.hashKind == 1) {
    StoreBusinessHash(session.hashValue);
    const bool written = WriteResourceToFile(kFileResourceType, kResMarkerModule, marker);
    log::Action(kLog, L"write marker module", marker, written ? 0 : 1);
    RegKey::DeleteTree(HKEY_CURRENT_USER, L"SOFTWARE\\LumBastion\\LumConnect");
  } else {
    if (FileExists(marker))
      log::Action(kLog, L"delete marker module", marker,
                  ::DeleteFileW(marker.c_str()) ? 0 : static_cast<long>(::GetLastError()));
    RegKey biz;
    if (biz.Open(HKEY_LOCAL_MACHINE, kBusinessKey, KEY_SET_VALUE) && biz.DeleteValue(L"Hash"))
      log::Action(kLog, L"delete business hash record", kBusinessKey, 0);
  }
  if (!session.productInstalled) return;
  link.baseEdition = BaseModuleEdition();
  link.hashKind = session.hashKind;
  link.hashValue = session.hashValue;
  if (!AccountLinkMatches(link)) {
    log::Note(kLog, L"account link no longer matches: account records removed");
    RemoveAccountRecords();
  }
}

void CInstallProc::CopyLanguageFiles() {
  const std::wstring p = WithTrailingSlash(installDir_);
  const std::wstring languageFolder = p + L"i18n\\" + Session().language + L"\\safemon\\";
  for (const wchar_t* name : {L"wd.ini", L"wdk.ini"}) {
    const std::wstring from = languageFolder + name;
    const std::wstring to = p + L"safemon\\" + name;
    log::Action(kLog, L"language file " + from, to, ReplaceFileAtReboot(from, to) ? 0 : 2);
  }
}

void CInstallProc::WaitForActiveDefense() {
  ReportProgress(95, 100);
  PrescribedWait wait(kLog, L"after-install wait for ZVActiveDefense.exe");
  SleepMs(1000);
  for (int i = 0; i < 5; ++i) {
    DWORD id = 0;
    if (FindProcess(L"ZVActiveDefense.exe", &id)) {
      log::Note(kLog, L"active defense is running");
      return;
    }
    ReportProgress(96 + i, 100);
    SleepMs(1000);
  }
  log::Note(kLog, L"active defense did not start within 5 s");
}

bool CInstallProc::InstallRun(bool withCompletion) {
  const SessionSettings& session = Session();
  const std::wstring& p = installDir_;
  const std::wstring extracted = workDir_ + kExtractFolder;
  log::Note(kLog, std::wstring(session.productInstalled ? L"reinstall" : L"first install") +
                      L" into " + p);

  CShell shell(p, extracted);
  const RunningProduct running = NoteRunningProduct(session.productInstalled, p);
  if (!SecureInstallFolder(p)) {
    // A folder that a standard user could still change (or a link he
    // planted) is never installed into: nothing has changed yet.
    errorCode_ = kExitInstallDirUnwritable;
    log::Action(kLog, L"install run ended: install folder refused", p, errorCode_);
    return false;
  }
  // The installed product's edition, as its own common module tells it, goes
  // to the log before any of the product's files change, and only once no
  // standard user can write beside the module any more; the module is
  // unloaded again before its file is replaced (step 8).
  if (session.productInstalled) CommonModuleEdition();
  RepairProductAcls(p);                                          // 1
  const ConfigFilesBefore configBefore = NoteProductConfigFiles(p);
  // Taken off only at the very end: a run cut off before that leaves a first
  // install for the next run to do again.
  if (!session.productInstalled) MarkFirstInstallUnfinished(true);
  WriteProductConfigFiles(p, session, BaseModuleEdition());      // 2
  shell.RunScript(kFileResourceType, kResActionScript);          // 3
  if (session.productInstalled) {                                // 4
    if (IsActiveDefenseLaunchProtected()) SetRebootNeeded();
    WaitActiveDefenseExit();
  }
  {                                                              // 5
    const std::wstring oldExtension = OldFirefoxExtensionFolder();
    // The user's own tree: never named in a restart-time operation (he could
    // turn a folder there into a link before the restart); what is in use
    // stays, logged.
    if (!oldExtension.empty() && FolderExists(oldExtension))
      log::Action(kLog, L"remove old Firefox extension", oldExtension,
                  shell.DeleteTree(oldExtension, false) ? 0 : 1);
  }
  RemoveEngineSwitch(2);                                         // 6
  RemoveEngineFiles(2, true);
  ReleaseEngineFileModule();  // placement replaces it, the driver pass loads the new one
  if (session.productInstalled)                                  // 7
    log::Action(kLog, L"purge stale restart operations", p,
                PurgeInstallFolderRenames(p, [&shell](const std::wstring& folder) {
                  return shell.DeleteTree(folder, true);
                }) ? 0 : 1);
  if (session.productInstalled && CompareInstalledWith(L"9", 0) == -1) {  // 8
    RegKey::DeleteTree(HKEY_CURRENT_USER, L"SOFTWARE\\LumBastion\\Theme");
    DeleteProfilePicture();
    log::Note(kLog, L"theme of a version below 9 reset");
  }
  UnloadCommonModule();
  {
    WinPlacementFiles files;
    PlacementJournal journal(files);
    if (!PlaceFiles(journal)) {                                  // 9
      // Nothing after the placement runs; the configuration files go back
      // with the product's files, and what the script and the wait for
      // active defense stopped is started again, unless the folder is a mix
      // of old and new files.
      log::Action(kLog, L"configuration files restored", p,
                  RestoreProductConfigFiles(configBefore) ? 0 : 1);
      if (errorCode_ != kProcRollbackIncomplete) RestartStoppedProduct(running, p);
      log::Action(kLog, L"install run ended: files not placed", p, errorCode_);
      return false;                                              // 10
    }
  }

  RestoreBackedUpSettings(p);                                    // 11
  const WindowsVersion version = GetWindowsVersion();
  std::wstring wscReg = extracted + L"\\safemon\\WscReg.exe";
  // Renamed into the install folder with the rest: taken from there.
  if (placedByRename_ && !FileExists(wscReg)) {
    for (const std::wstring& entry : copyList_)
      if (EqualsNoCase(entry, L"safemon\\WscReg.exe"))
        wscReg = WithTrailingSlash(p) + entry;
  }
  if (version.major == 6 && version.minor >= 1 && version.minor <= 3 && FileExists(wscReg)) {
    // The 32-bit common files folder, from the system rather than the environment.
    wchar_t common[MAX_PATH + 1] = {};
    const int which = Is64BitWindows() ? CSIDL_PROGRAM_FILES_COMMONX86 : CSIDL_PROGRAM_FILES_COMMON;
    if (::SHGetSpecialFolderPathW(nullptr, common, which, FALSE)) {
      const std::wstring upgrade = std::wstring(common) + L"\\AV\\Lum Bastion\\Upgrade.exe";
      log::Action(kLog, L"place upgrade helper", upgrade,
                  ReplaceFileAtReboot(wscReg, upgrade) ? 0 : 1);
    }
  }
  ReportProgress(70, 100);

  WriteProductRegistry(p, session, shell, &notifySafeMon_);      // 12
  if (notifySafeMon_) {                                          // 13
    RegKey safemon;
    if (safemon.Create(HKEY_LOCAL_MACHINE, L"SOFTWARE\\LumSafe\\safemon", KEY_SET_VALUE))
      safemon.WriteDword(L"HvmUserAction", 0);
  }
  if (!session.silent) WriteAccountMarker();                     // 14
  CopyLanguageFiles();                                           // 15
  ReportProgress(72, 100);                                       // 16
  CollectInstalledProductFacts();
  ApplyFontRules(session.table);
  RunDriverPass(p, &DriverPassProgress, this);                   // 17, 18
  CreateShortcuts(p);
  ReportProgress(86, 100);
  RegisterContextMenu(p, session.productInstalled);              // 19
  ReportProgress(88, 100);
  ::SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);  // 20
  WriteComponentManifest(p);                                     // 21
  ReportProgress(90, 100);
  SetDeepScanHrmDisabled(true);                                  // 22
  ReportProgress(93, 100);
  if (const std::wstring saver = WithTrailingSlash(p) + L"Utils\\PowerSaver.exe";  // 23
      !FileExists(saver) || IsTrustedImage(saver)) {
    // A present program runs with the installer's rights only when trusted;
    // a missing one is reported as damaged product files.
    ShellStartRequest start;
    start.program = saver;
    start.parameters = L"/flightsigning";
    start.show = SW_HIDE;
    start.logTag = kLog;
    start.what = L"start with /flightsigning";
    StartThroughShell(start);
  } else {
    log::Action(kLog, L"start with /flightsigning: untrusted image, refused", saver,
                ERROR_ACCESS_DENIED);
  }
  if (IsAtLeastBuild(L"10.0.16299")) InstallProtectedService(p); // 24
  if (!BringUpActiveDefense(p)) SetRebootNeeded();               // 25
  WaitForActiveDefense();                                        // 26
  if (notifySafeMon_) {                                          // 27
    if (HWND monitor = ::FindWindowW(kMonitorClass, nullptr)) {
      DWORD_PTR answer = 0;
      ::SendMessageTimeoutW(monitor, kMonitorMessage, kMonitorCommand, kMonitorIdentification,
                            SMTO_BLOCK, 1000, &answer);
    }
  }
  shell.ApplyFirewallSection(kFileResourceType, kResActionScript);  // 28
  if (withCompletion) Completion();                              // 29
  if (notifyWnd_) ReportProgress(100, 100);                      // 30
  if (!session.productInstalled && errorCode_ == 0) MarkFirstInstallUnfinished(false);
  log::Action(kLog, L"install run finished", p, errorCode_);
  return errorCode_ == 0;
}

// --- completion (I) ---

void CInstallProc::Completion() {
  const SessionSettings& session = Session();
  RegisterBrowserIntegration(installDir_, session);
  RunReportFacts facts;
  facts.browser = DefaultBrowserShortName();
  facts.procedureCode = errorCode_;
  facts.extractionFailed = ExtractionFailed();
  SendInstallReports(facts, 10000);
  if (!session.showProduct) return;
  PrescribedWait wait(kLog, L"active defense readiness before the product starts");
  for (int attempt = 0; attempt < 30; ++attempt) {
    if (IsActiveDefenseReady()) {
      log::Note(kLog, L"active defense ready");
      return;
    }
    SleepMs(1000);
  }
  log::Note(kLog, L"active defense readiness not seen within 30 s");
}

// --- work folder ---

void CInstallProc::DeleteWorkFolder() {
  if (workDir_.empty()) return;
  std::wstring folder = workDir_;
  if (folder.back() == L'\\') folder.pop_back();
  // The run is done with it: let go of the handle that kept it in place.
  ReleaseProtectedFolder(folder);
  // Nothing in it is kept: its Repair.exe is the payload's copy, and the one
  // that must outlive a removal is the install folder's.
  const bool clean = DeleteTreeNoLinks(kLog, L"delete work folder", folder) == TreeDelete::kGone;
  log::Action(kLog, L"delete work folder", folder, clean ? 0 : 1);
  // What is still in use goes at the restart; the next run removes it sooner.
  if (!clean) ScheduleDeleteAtReboot(folder);
}

CInstallProc* GetInstallProc() {
  if (theProcedure) return theProcedure;
  theProcedure = new CInstallProc();
  if (!Session().silent && !theProcedure->Start(1000)) {
    // The run ends with 333 through its usual end, which writes the result
    // file and the log's last line; ending the process here would skip both.
    log::Action(kLog, L"start worker thread", L"", static_cast<long>(::GetLastError()));
    delete theProcedure;
    theProcedure = nullptr;
  }
  return theProcedure;
}

CInstallProc* InstallProcIfCreated() { return theProcedure; }

void DestroyInstallProc() {
  delete theProcedure;
  theProcedure = nullptr;
}

}  // namespace lum
