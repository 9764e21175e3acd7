// Steps of the install run not built yet: the scan-engine files and switches,
// the component scan and the product's scrambled records. Each logs so and
// answers "not done"; none of them fails the install.
#pragma once
#include <string>

namespace lum {

bool RemoveEngineSwitch(int engine);
bool RemoveEngineFiles(int engine, bool all);
bool SetDeepScanHrmDisabled(bool disabled);
bool SetCloudAnalysis(bool on);
// Number of entries the component scan leaves (the monitor is told when > 0).
int RunComponentScan();
// Stores the scrambled theme record (time, theme, machine identifier).
bool StoreThemeRecord(const std::wstring& themeName);
// Stores the business hash record in the product's scrambled form.
bool StoreBusinessHash(const std::wstring& hash);
// Whether the installed product's account link still matches this run.
bool AccountLinkMatches();

}  // namespace lum
