#include "install/driver_pass.h"

namespace lum {

std::vector<ModuleStep> PlanModuleSteps(const DriverPassFacts& facts) {
  std::vector<ModuleStep> steps(6);
  ModuleStep& utility = steps[0];
  utility.relativePath = L"ipc\\DrvUtility.dll";
  utility.entry = "InstallDriverForLumSafeSetup";
  utility.success = EntrySuccess::kReturnsOne;
  utility.run = facts.driversSupported;
  utility.skipSucceeds = true;

  ModuleStep& fileFilter = steps[1];
  fileFilter.relativePath = L"filemon\\LumAvFlt.dll";
  fileFilter.entry = "Install";
  fileFilter.integerArgument = true;
  fileFilter.success = EntrySuccess::kReturnsOne;
  fileFilter.run = facts.driversSupported;
  fileFilter.skipSucceeds = true;
  fileFilter.driverServiceKey = L"LumAvFlt";
  fileFilter.followUpAlways = true;

  ModuleStep& loader = steps[2];
  loader.relativePath = L"deepscan\\qutmload.dll";
  loader.entry = "SetupInstall";
  loader.success = EntrySuccess::kReturnsOne;
  loader.pinned = true;
  loader.run = facts.driversSupported && !facts.is64BitOs;
  loader.skipSucceeds = true;

  ModuleStep& engine = steps[3];
  engine.relativePath = L"deepscan\\bapi.dll";
  engine.entry = "SetupInstall";
  engine.run = true;

  ModuleStep& network = steps[4];
  network.relativePath = L"netmon\\Lumnetctrl.dll";
  network.entry = "DllRegisterServer";
  network.success = EntrySuccess::kReturnsZero;
  network.run = facts.driversSupported;
  network.skipSucceeds = true;
  network.driverServiceKey = L"Lumnetmon";

  ModuleStep& sandbox = steps[5];
  sandbox.relativePath = L"ipc\\sbmon.dll";
  sandbox.entry = facts.is64BitOs ? "InstallEx64" : "InstallEx32";
  sandbox.run = facts.sandboxSupported;

  for (size_t i = 0; i < steps.size(); ++i) steps[i].order = static_cast<int>(i) + 1;
  return steps;
}

}  // namespace lum
