// The service control manager: removing services, marking a service whose
// removal must wait for the next restart, and the few calls the service
// bring-up makes on a service handle.
//
// Threading: no shared state; any thread.
#pragma once
#include <windows.h>

#include <string>

#include "system/win_handle_win.h"

namespace lum {

struct ScHandleTraits {
  using Handle = SC_HANDLE;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { ::CloseServiceHandle(h); }
};
using UniqueScHandle = UniqueWinHandle<ScHandleTraits>;

// HKLM "SYSTEM\CurrentControlSet\Services\<name>".
std::wstring ServiceKeyPath(const std::wstring& name);

// How long StopAndDeleteService waits for a stop-pending service before it
// deletes it anyway (a hung service must not hang the install).
constexpr DWORD kStopPendingLimitMs = 30000;

// Stops the service first when `stopFirst` holds and the stop is accepted
// (waits 1 s, then polls once a second while it is stop-pending, at most
// kStopPendingLimitMs), then deletes it. A missing service or manager is
// ignored (nothing to remove).
void StopAndDeleteService(const std::wstring& name, bool stopFirst);

// For a service that cannot be deleted now: deletes "LaunchProtected" and,
// only when "Start" can be read, writes "Start" = 4 (disabled) and
// "DeleteFlag" = 1. True when both were written.
bool MarkServiceForRemoval(const std::wstring& name);

// True when the service's launch protection is "anti-malware light" (3);
// false when the manager, the service or the query is unavailable.
bool IsServiceLaunchProtected(const std::wstring& name);

// Starts the service with one argument; 0 or the system error.
DWORD StartServiceWithArgument(SC_HANDLE service, const wchar_t* argument);

// Sets the service's description; false when the manager refuses.
bool SetServiceDescription(SC_HANDLE service, const std::wstring& description);

}  // namespace lum
