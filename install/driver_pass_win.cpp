#include "install/driver_pass_win.h"

#include <windows.h>

#include "base/install_log.h"
#include "base/text.h"
#include "browser/browser_extensions_win.h"
#include "install/driver_pass.h"
#include "system/file_ops_win.h"
#include "system/platform_support.h"
#include "system/platform_support_win.h"
#include "system/registry_win.h"
#include "system/service_record_win.h"
#include "system/win_handle_win.h"
#include "system/windows_restart_win.h"

namespace lum {
namespace {

constexpr const char* kLog = "drivers";

using NoArgumentEntry = int(__stdcall*)();
using IntegerEntry = int(__stdcall*)(int);

// Loads the module from the install folder, calls its entry once and
// unloads it (a pinned module stays loaded). True on the step's success.
bool RunModuleStep(const std::wstring& installDir, const ModuleStep& step) {
  const std::wstring what = std::wstring(L"module ") + std::to_wstring(step.order) + L" " +
                            Utf8ToWide(step.entry);
  if (!step.run) {
    log::Action(kLog, what + L": not for this Windows", step.relativePath, 0);
    return step.skipSucceeds;
  }
  const std::wstring path = JoinModulePath(installDir, step.relativePath);
  if (path.empty()) {
    log::Action(kLog, what + L": path too long or no folder", step.relativePath,
                ERROR_FILENAME_EXCED_RANGE);
    return false;
  }
  UniqueModule module(::LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
  if (!module) {
    log::Action(kLog, what + L": load", path, static_cast<long>(::GetLastError()));
    return false;
  }
  FARPROC entry = ::GetProcAddress(module.Get(), step.entry.c_str());
  if (!entry) {
    log::Action(kLog, what + L": no such entry", path, ERROR_PROC_NOT_FOUND);
    return false;
  }
  const int answer =
      step.integerArgument
          ? reinterpret_cast<IntegerEntry>(reinterpret_cast<void*>(entry))(0)
          : reinterpret_cast<NoArgumentEntry>(reinterpret_cast<void*>(entry))();
  bool ok = true;
  if (step.success == EntrySuccess::kReturnsOne) ok = answer == 1;
  if (step.success == EntrySuccess::kReturnsZero) ok = answer == 0;
  log::Action(kLog, what + L" answered " + std::to_wstring(answer), path, ok ? 0 : 1);
  if (step.pinned) module.Release();
  return ok;
}

void WriteSandboxDefaults() {
  RegKey key;
  if (!key.Create(HKEY_LOCAL_MACHINE, L"SOFTWARE\\LumSafe\\safemon",
                  KEY_QUERY_VALUE | KEY_SET_VALUE)) {
    log::Action(kLog, L"sandbox defaults", L"SOFTWARE\\LumSafe\\safemon", key.LastError());
    return;
  }
  const struct {
    const wchar_t* name;
    DWORD value;
  } defaults[] = {{L"SB_State", 1}, {L"SB_Entry_Known", 0}, {L"SB_RightMenu", 1}};
  for (const auto& d : defaults) {
    DWORD present = 0;
    if (!key.ReadDword(d.name, &present)) key.WriteDword(d.name, d.value);
  }
}

void WriteSoftwareManagerRecord(const std::wstring& installDir) {
  RegKey key;
  const std::wstring module = WithTrailingSlash(installDir) + L"SoftMgr\\LumSoftMgrS.dll";
  const bool ok =
      key.Create(HKEY_LOCAL_MACHINE, L"Software\\Lumsafe\\Lumkrnlsvc\\softmgrs", KEY_SET_VALUE) &&
      key.WriteString(L"ImagePath", module);
  log::Action(kLog, L"software-manager module record", module, ok ? 0 : key.LastError());
}

void WriteBehaviourMonitorRecord() {
  RegKey key;
  if (!key.Create(HKEY_LOCAL_MACHINE, L"Software\\LumBastion\\srvtpi\\Lumbsmon",
                  KEY_QUERY_VALUE | KEY_SET_VALUE)) {
    log::Action(kLog, L"behaviour-monitor record", L"Lumbsmon", key.LastError());
    return;
  }
  std::wstring image;
  if (!key.ReadString(L"ImagePath", &image) || image.empty())
    key.WriteString(L"ImagePath", L"safemon\\Lumbsmon.tpi");
  DWORD start = 0;
  if (!key.ReadDword(L"StartType", &start) || start != 1) key.WriteDword(L"StartType", 1);
}

}  // namespace

bool RunDriverPass(const std::wstring& installDir, void (*afterEntry)(int index, void* context),
                   void* context) {
  DriverPassFacts facts;
  facts.driversSupported = DriverPlatformSupported();
  facts.is64BitOs = Is64BitOs();
  facts.sandboxSupported = SandboxPlatformSupported();
  const std::vector<ModuleStep> steps = PlanModuleSteps(facts);
  bool all = true;
  auto progress = [&](int index) {
    if (afterEntry) afterEntry(index, context);
  };
  // Modules 1 to 5 with their driver-key follow-ups.
  for (size_t i = 0; i < 5; ++i) {
    const ModuleStep& step = steps[i];
    const bool ok = RunModuleStep(installDir, step);
    all = all && ok;
    if (!step.driverServiceKey.empty() && ((ok && step.run) || step.followUpAlways))
      ResetDriverServiceKey(step.driverServiceKey);
    progress(static_cast<int>(i));
  }
  // The sixth slot is the restart atom test: a driver that must be reloaded
  // leaves the atom, and the restart is then needed.
  RaiseRebootNeededForRestartAtom();
  progress(5);
  WriteSoftwareManagerRecord(installDir);
  if (steps[5].run) WriteSandboxDefaults();
  all = RunModuleStep(installDir, steps[5]) && all;
  RefreshFirefoxExtension();
  WriteBehaviourMonitorRecord();
  return all;
}

}  // namespace lum
