// Steps of the install run not built yet: the component scan, the product's
// scrambled records and the account link. Each logs so and
// answers "not done"; none of them fails the install.
#pragma once
#include <windows.h>

#include <string>

namespace lum {

// Number of entries the component scan leaves (the monitor is told when > 0).
int RunComponentScan();
// Stores the scrambled theme record (time, theme, machine identifier).
bool StoreThemeRecord(const std::wstring& themeName);
// Stores the business hash record in the product's scrambled form.
bool StoreBusinessHash(const std::wstring& hash);
// Whether the installed product's account link still matches this run.
bool AccountLinkMatches();

}  // namespace lum
