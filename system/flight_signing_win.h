// Boot settings the product's drivers need on some Windows builds.
#pragma once

namespace lum {

// On a Windows 10 workstation that carries the flight-signing root
// certificate (either registry view): records "ManualFlightSigning" = 1 and
// turns flight signing on for the boot manager and the loader (bcdedit,
// outside file-system redirection). False when nothing was done.
bool EnableFlightSigning();

// Writes the QualityCompat value (64-bit view) as 0 when it is absent, so
// that Windows Update does not hold back updates for the product's drivers.
bool SetQualityCompatFlag();

}  // namespace lum
