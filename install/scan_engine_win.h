// The optional scanning engines of the product's deep scan: their switches,
// the removal of their files (engine files held by the running product are
// moved aside and deleted at the restart, or deleted through the product's
// file module), and the deep-scan and cloud-analysis switches. Every change
// is logged. Install worker only, except that several threads may remove
// engine files at once (the file module is loaded once).
#pragma once
#include <cstdint>
#include <string>

namespace lum {

// Engine 1 ("savapi\", with its import module beside it) or 2 ("bd\").
constexpr int kEngineSavapi = 1;
constexpr int kEngineBd = 2;

// Deletes "EnableAvira" (1) or "EnableBD" (2) under HKLM
// "Software\LumBastion\deepscan"; true also when key or value is absent,
// false for another engine number.
bool RemoveEngineSwitch(int engine);

// Deletes the engine's folders (under the product's "DeepScan\SDEng\" and
// the engine work folder) and, for engine 1, its import module. With
// `allowRestart` a file that cannot be deleted is moved to "<name>.bak" and
// deleted at the restart. False only for another engine number.
bool RemoveEngineFiles(int engine, bool allowRestart);
// Bytes of the engine files the last RemoveEngineFiles deleted.
uint64_t RemovedEngineBytes();
// Unloads the product's file module that RemoveEngineFiles loaded: its file
// is replaced by the placement, and the driver pass must load the new one
// (a module still loaded under that path would be handed back instead).
void ReleaseEngineFileModule();

// HKLM "SOFTWARE\LumBastion\DeepScan" "DisableHRM" = 1 or 0.
bool SetDeepScanHrmDisabled(bool disabled);
// "CloudAnalysis" under HKLM "SOFTWARE\LumBastion\DeepScan" and "netCheck"
// under HKLM "SOFTWARE\LumSafe\LumScan", both 1 or 0.
bool SetCloudAnalysis(bool enabled);

}  // namespace lum
