// The component scan of a first install (install/component_scan.h says what
// it looks for and why) against this machine's services.
#pragma once

namespace lum {

// HKLM key where the scan leaves its entries for the real-time monitor: one
// REG_SZ value per component found, named by its service, holding its
// display name. Emptied (removed) by every scan, so only this scan's
// findings are there.
constexpr const wchar_t* kComponentScanKey = L"SOFTWARE\\LumSafe\\safemon\\ComponentScan";

// Scans, leaves the entries, and returns how many it left.
int RunComponentScan();

}  // namespace lum
