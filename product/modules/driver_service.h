// Registers a kernel driver service with the service manager, on demand and
// only when it is not known yet, as a driver installer does.
#pragma once
#include <windows.h>

namespace lum {
namespace product {

void RegisterDriverService(const wchar_t* name, DWORD type, const wchar_t* driverFile);

}  // namespace product
}  // namespace lum
