// The operating-system tests of the driver pass and the service bring-up.
// Results are read once and cached for the process.
#pragma once

namespace lum {

// The machine's processor is AMD64 or IA64 (not the process's).
bool Is64BitOs();
// Whether the product's kernel drivers may be installed (platform_support.h),
// from kernel32.dll's file version; false when it cannot be read.
bool DriverPlatformSupported();
// Whether the product's sandbox may be installed, from ntdll's true version
// and the service pack text of the registry.
bool SandboxPlatformSupported();

}  // namespace lum
