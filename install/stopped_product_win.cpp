#include "install/stopped_product_win.h"

#include <windows.h>

#include <vector>

#include "base/install_log.h"
#include "install/active_defense_win.h"
#include "install/process_table.h"
#include "install/process_termination_win.h"
#include "install/protected_service_win.h"
#include "system/file_ops_win.h"
#include "system/user_rights_start_win.h"
#include "system/win_handle_win.h"
#include "system/windows_version_win.h"
#include "tray/product_start_win.h"

namespace lum {

namespace {
constexpr const char* kLog = "install";
constexpr const wchar_t* kMainProgram = L"ZVSafeMain.exe";

// The programs of the user's session that a run ends, and the switches they
// are started with (the tray's log-on start).
struct UserProgram {
  const wchar_t* name;
  const wchar_t* arguments;
};
constexpr UserProgram kUserPrograms[] = {
    {L"ZVSafeTray.exe", L"/start"}, {L"LumTray.exe", L"/start"}, {L"GameBooster.exe", L""},
    {L"PowerSaver.exe", L""},       {L"LumInstantSetup.exe", L""},
};

// The image of process `id` when it lies in `folder`, else empty.
std::wstring ImageInFolder(DWORD id, const std::wstring& folder) {
  UniqueHandle process(::OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, id));
  if (!process) return L"";
  wchar_t path[MAX_PATH + 1] = {};
  DWORD size = MAX_PATH;
  if (!::QueryFullProcessImageNameW(process.Get(), 0, path, &size)) return L"";
  return PathLiesInFolder(path, folder) ? std::wstring(path) : std::wstring();
}

}  // namespace

RunningProduct NoteRunningProduct(bool productInstalled, const std::wstring& installDir) {
  RunningProduct running;
  running.installed = productInstalled;
  DWORD id = 0;
  running.mainProgram = FindProcess(kMainProgram, &id);
  if (productInstalled && !installDir.empty()) {
    for (const UserProgram& program : kUserPrograms) {
      std::vector<DWORD> ids;
      FindAllProcesses(program.name, &ids);
      for (DWORD each : ids) {
        const std::wstring path = ImageInFolder(each, installDir);
        if (path.empty()) continue;
        running.userPrograms.push_back({path, program.arguments});
        log::Note(kLog, L"before the run: running " + path);
        break;
      }
    }
  }
  log::Note(kLog, std::wstring(L"before the run: product ") +
                      (productInstalled ? L"installed" : L"not installed") + L", main program " +
                      (running.mainProgram ? L"running" : L"not running"));
  return running;
}

void RestartStoppedProduct(const RunningProduct& before, const std::wstring& installDir) {
  if (!before.installed) {
    log::Note(kLog, L"no installed product to start again");
    return;
  }
  log::Note(kLog, L"starting again what the run stopped");
  // The action script stopped the services and marked them for removal:
  // the bring-up of the end of a run registers them afresh from the files
  // now back in place and starts them.
  if (IsAtLeastBuild(L"10.0.16299"))
    log::Action(kLog, L"protected service brought up again", installDir,
                InstallProtectedService(installDir) ? 0 : 1);
  log::Action(kLog, L"active defense brought up again", installDir,
              BringUpActiveDefense(installDir) ? 0 : 1);
  DWORD id = 0;
  if (before.mainProgram && !FindProcess(kMainProgram, &id))
    log::Action(kLog, L"main program started again", installDir,
                StartInstalledProduct(installDir) ? 0 : 1);
  // Started from the install folder, admin-only again once the placement is
  // undone, with the user's rights as at log-on.
  for (const StoppedProgram& program : before.userPrograms) {
    if (FindProcess(FileNamePart(program.path), &id)) continue;
    if (!FileExists(program.path)) {
      log::Action(kLog, L"program not started again: its file is gone", program.path,
                  ERROR_FILE_NOT_FOUND);
      continue;
    }
    std::wstring commandLine = L"\"" + program.path + L"\"";
    if (!program.arguments.empty()) commandLine += L" " + program.arguments;
    const bool started = LaunchAtMediumIntegrity(commandLine, NeutralFolderFor(program.path), kLog);
    log::Action(kLog, L"program started again", program.path,
                started ? 0 : static_cast<long>(::GetLastError()));
  }
}

}  // namespace lum
