// RunInstaller: the start-up sequence of the installer process, from the
// first instruction to the exit code. Each step lives in its own file; this
// one only orders them and records every decision in the log.
#include "app/startup_win.h"

#include <windows.h>
// These headers build on windows.h.
#include <commctrl.h>
#include <imm.h>
#include <shellapi.h>

#include <vector>

#include "app/earlier_runs_win.h"
#include "app/hand_over.h"
#include "app/missing_program_win.h"
#include "app/result_file_win.h"
#include "app/session_environment_win.h"
#include "base/exit_codes.h"
#include "base/install_log.h"
#include "base/system_dll_win.h"
#include "base/text.h"
#include "browser/open_link_win.h"
#include "install/installed_product_win.h"
#include "install/trusted_launch_win.h"
#include "report/reports_win.h"
#include "session/command_line.h"
#include "session/command_line_win.h"
#include "session/hash_detection.h"
#include "session/session_settings.h"
#include "system/file_ops_win.h"
#include "system/product_location_win.h"
#include "system/reboot_flags.h"
#include "system/shell_start_win.h"
#include "system/silent_log_file_win.h"
#include "system/system_library_win.h"
#include "system/windows_restart_win.h"
#include "system/windows_version_win.h"
#include "tray/tray_link_win.h"
#include "ui/msg_box_win.h"
#include "vendor/product_modules_win.h"

namespace lum {

namespace {

constexpr const char* kLog = "startup";

// The log file: "/log:<path>", or the default file of a silent run. Opened
// before anything else happens; lines written before (library preloading)
// are buffered by the log and flushed.
void OpenLogFromSwitches(const CommandLineOptions& options) {
  const std::wstring path = LogPathOption(options);
  if (!path.empty())
    log::OpenFile(path);
  else if (options.Has(L"s"))
    OpenDefaultSilentLog();
}

// The tail with "/log:" and "/result:" given again as full paths (a later
// duplicate of a switch wins), and `switches` holding the full paths.
std::wstring WithAbsoluteReportPaths(const std::wstring& tail, CommandLineOptions* switches) {
  std::wstring out = tail;
  std::vector<std::wstring> added;
  for (const wchar_t* name : {L"log", L"result"}) {
    std::wstring value;
    if (!switches->Get(name, value) || value.empty()) continue;
    wchar_t full[MAX_PATH + 1] = {};
    const DWORD length = ::GetFullPathNameW(value.c_str(), MAX_PATH + 1, full, nullptr);
    if (length == 0 || length > MAX_PATH || value == full) continue;
    added.push_back(L"/" + std::wstring(name) + L":" + full);
    out += L" \"" + added.back() + L"\"";
  }
  CommandLineOptions again;
  if (!added.empty() && ParseCommandLineTail(out, L':', again)) *switches = again;
  return out;
}

int Finish(int result, ZeroExit zero) {
  log::Action(kLog, std::wstring(L"exit: ") + Utf8ToWide(ExitCodeMeaning(result, zero)), L"",
              result);
  return result;
}
int Finish(int result) { return Finish(result, NotedZeroExit()); }

void CommonWindowSetup() {
  ::DefWindowProcW(nullptr, WM_NULL, 0, 0);
  // The common controls of the manifest's version, kept loaded: their window
  // classes live as long as the library.
  const HMODULE controlsLibrary = LoadManifestDll(L"comctl32.dll");
  using InitFn = decltype(&::InitCommonControlsEx);
  auto init = controlsLibrary ? reinterpret_cast<InitFn>(reinterpret_cast<void*>(
                                    ::GetProcAddress(controlsLibrary, "InitCommonControlsEx")))
                              : nullptr;
  INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_BAR_CLASSES};
  log::Action(kLog, L"common controls", L"comctl32.dll", init && init(&controls) ? 0 : 1);
  StartTrayLink(IsTrustedImage);
}

void OpenReferralPage() {
  const std::wstring link = GetReferralLink();
  if (link.empty()) return;
  if (OpenLinkWithLoweredRights(link)) {
    log::Action(kLog, L"open referral page (lowered rights)", link, 0);
    return;
  }
  // Without the utility module the page still opens with the user's rights:
  // a shell open from here would hand the browser the installer's token.
  const bool opened = OpenLink(link, kOpenLinkDefaultBrowser);
  log::Action(kLog, L"open referral page", link, opened ? 0 : 1);
}

bool InstalledIsBuild1133(const std::wstring& productFolder) {
  if (productFolder.empty()) return false;
  FileVersion version;
  return ReadFileVersion(WithTrailingSlash(productFolder) + L"ZVVer.dll", &version) &&
         version.major == 8 && version.minor == 2 && version.build == 0 && version.revision == 1133;
}

// Set when the exit code is that of a copy of the installer that did the work
// (the relocated copy, or the restart after the compatibility layer); then
// `handOver` holds what the copy left.
bool handedOver = false;
HandOver handOver;
// The product's folder existed when the run began: what "wasInstalled" says
// on every path, also one that ends before the session knows it.
bool installedAtStart = false;

RunResult CollectRunResult(int exitCode) {
  const SessionSettings& session = Session();
  RunResult result;
  result.exitCode = exitCode;
  result.zeroExit = NotedZeroExit();
  result.rebootRequired = RebootNeeded();
  result.wasInstalled = installedAtStart;
  result.installDir = session.installDir;
  // After a hand-over this process never chose a folder nor read the
  // session: whether the copy was kept to finish after a restart and what
  // the machine says now are the only evidence it has of its own.
  if (handedOver) {
    result.rebootRequired = result.rebootRequired || handOver.keptForRestart;
    if (result.installDir.empty()) result.installDir = ReadProductFolder();
  }
  if (!result.installDir.empty()) result.productVersion = InstalledProductVersion(result.installDir);
  result.logFile = log::FilePath();
  result.language = session.language;
  return result;
}

// The run's final outcome, and the result file of "/result:path" when one was
// asked for, written by the process whose exit code is final. After a
// hand-over the copy has written the facts of the run that did the work: they
// are kept, with this process's whole duration. What the evidence does not
// bear out is not reported (app/hand_over.h).
int FinishRun(const std::wstring& resultPath, bool silent, int exitCode, uint64_t durationMs) {
  std::wstring why;
  RunResult result =
      FinalRunResult(exitCode, handedOver, handOver.resultRead ? &handOver.result : nullptr,
                     CollectRunResult(exitCode), silent, &why);
  if (!why.empty()) log::Action(kLog, L"outcome not borne out: " + why, resultPath, result.exitCode);
  if (handedOver || !why.empty()) Finish(result.exitCode, result.zeroExit);
  result.durationMs = durationMs;
  if (!resultPath.empty()) WriteResultFile(resultPath, result);
  return result.exitCode;
}

// `switches` is the command line's one parse; `parsed` is false when the
// tail could not be split or held nothing.
int RunInstallerSteps(HINSTANCE instance, const std::wstring& commandTail,
                      const CommandLineOptions& switches, bool parsed, int showCommand);

}  // namespace

int RunInstaller(HINSTANCE instance, const std::wstring& givenTail, int showCommand) {
  const ULONGLONG started = ::GetTickCount64();
  // The log opens first, from the raw switches, so that a run which hands over
  // to a relocated copy writes its own lines before the copy's.
  CommandLineOptions switches;
  const bool parsed = ParseCommandLineTail(givenTail, L':', switches);
  // A relative log or result path means the folder the installer was started
  // from; a copy that runs from another folder is told the same file.
  const std::wstring commandTail = WithAbsoluteReportPaths(givenTail, &switches);
  OpenLogFromSwitches(switches);
  const std::wstring resultPath = ResultPathOption(switches);
  // A file left by an earlier run is never read as this run's outcome.
  if (!resultPath.empty() && !ClearResultFile(resultPath))
    log::Action(kLog, L"earlier result file cannot be deleted", resultPath,
                static_cast<long>(::GetLastError()));
  int result = RunInstallerSteps(instance, commandTail, switches, parsed, showCommand);
  if (!handedOver)
    ReleaseRestartCopy(OwnModulePath(), commandTail,
                       NotedZeroExit() == ZeroExit::kHandedToWaitingCopy);
  result = FinishRun(resultPath, switches.Has(L"s"), result, ::GetTickCount64() - started);
  // The very last step: every window and thread is gone.
  if (RestartOnExit()) RestartWindows();
  return result;
}

namespace {

int RunInstallerSteps(HINSTANCE instance, const std::wstring& commandTail,
                      const CommandLineOptions& switches, bool parsed, int showCommand) {
  if (auto disableIme = SystemExport<decltype(&::ImmDisableIME)>(L"imm32.dll", "ImmDisableIME"))
    disableIme(static_cast<DWORD>(-1));
  PreloadSystemLibraries(GetWindowsVersion().IsWindows10OrLater());
  const bool tokenIsAdmin = TokenIsAdmin();
  log::Note(kLog, std::wstring(L"command line tail: ") + commandTail +
                      (tokenIsAdmin ? L" (administrator token)" : L" (no administrator token)"));

  SessionSettings& session = Session();
  const std::wstring ownPath = OwnModulePath();
  installedAtStart = !ReadProductFolder().empty();

  std::wstring baseFolder;
  const BaseModuleResult base = ExtractBaseModule(&baseFolder);
  if (base == BaseModuleResult::kFailed) return Finish(kExitBaseModule);
  if (base == BaseModuleResult::kWritten) {
    if (RelocateAndRerun(commandTail, &handOver)) {
      handedOver = true;
      return static_cast<int>(handOver.code);  // said with "exit:" once the evidence is weighed
    }
    CollectInstalledProductFacts();
    WinSessionEnvironment env;
    if (!session.Setup(env)) {
      log::Note(kLog, L"language table unusable");
      return Finish(kExitLanguageTable);
    }
    languageCode = session.language;
    if (session.ApplyChannelFromFileName(FileNamePart(ownPath)))
      log::Note(kLog, L"channel from file name: " + session.channel);
    if (parsed && !switches.Empty()) ApplyCommandLine(switches, session, env, WaitUntilSystemQuiet);
    if (!session.silent) DetectHashForms(ownPath, switches, session);
    if (session.promoOptions.empty()) session.FillPromoOptionsFromTable();
    log::Note(kLog, L"language " + session.language + L", channel " + session.channel + L"/" +
                        session.subChannel + (session.silent ? L", silent" : L", interactive"));
  }

  // The language is known from here on; every message box speaks it.
  if (!session.silent) {
    PrepareSkinForLanguage();
    ShowMissingProgramOnThisThread();
  }
  SetMissingProgramHandler(&OnMissingProgram);
  UniqueModule gdiplus(LoadSystemLibrary(L"gdiplus.dll"));
  if (!gdiplus) {
    log::Action(kLog, L"load GDI+", L"gdiplus.dll", static_cast<long>(::GetLastError()));
    if (!session.silent)
      ShowMessageBox(nullptr, PopLogoId(), session.Text(L"ERROR_CNNOGDIPLUS"), MB_OK, IDOK);
    return Finish(kExitNoGdiPlus);
  }

  if (ClearCompatibilityLayer(commandTail, tokenIsAdmin, baseFolder, &handOver)) {
    handedOver = true;
    return static_cast<int>(handOver.code);  // said with "exit:" once the evidence is weighed
  }
  if (GetWindowsVersion().IsWindows8OrLater()) ClearMuiCacheName(ownPath);

  UniqueHandle instanceMutex;
  if (AcquireSingleInstance(session.silent, &instanceMutex) != 0) return Finish(kExitOtherInstance);

  CoInit com;
  OleInit ole;

  if (!ElevationCheckSkipped(tokenIsAdmin) && NeedsElevation(tokenIsAdmin)) {
    instanceMutex.Reset();  // the elevated copy must be able to take it
    log::Note(kLog, L"administrator rights needed");
    if (!session.silent) {
      UacTexts texts{session.Text(L"UAC_TITLE"), session.Text(L"UAC_MESSAGE"),
                     session.Text(L"UAC_ELEVATION_FAILED_MESSAGE")};
      RelaunchElevated(texts);
    }
    return Finish(kExitNeedsElevation);
  }

  // Only now is no other run installing: what earlier runs left can go.
  RemoveEarlierRunsLeftovers();

  CommonWindowSetup();
  if (reportChannel.empty()) reportChannel = session.channel;
  if (reportSubChannel.empty()) reportSubChannel = session.subChannel;
  installedBuild1133 = InstalledIsBuild1133(ReadProductFolder());

  const int result = session.silent ? RunSilent() : RunInteractive(instance, showCommand);

  // After-install actions follow an install, not every 0 (a window closed
  // before Install installed nothing).
  if (result == kExitInstalled && NotedZeroExit() == ZeroExit::kInstalled) {
    if (!session.clientId.empty()) SendChannelReport(4000);
    OpenReferralPage();
  }

  StopTrayLink();
  instanceMutex.Reset();
  if (!session.silent) ShutDownInteractiveWorker();
  return Finish(result);
}

}  // namespace

}  // namespace lum
