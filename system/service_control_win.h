// Removing Windows services through the service control manager, and marking
// a service whose removal must wait for the next restart.
//
// Threading: the install worker only (no shared state).
#pragma once
#include <windows.h>

#include <string>

namespace lum {

// HKLM "SYSTEM\CurrentControlSet\Services\<name>".
std::wstring ServiceKeyPath(const std::wstring& name);

// Stops the service first when `stopFirst` holds and the stop is accepted
// (waits 1 s, then polls once a second while it is stop-pending), then
// deletes it. A missing service or manager is ignored (nothing to remove).
void StopAndDeleteService(const std::wstring& name, bool stopFirst);

// For a service that cannot be deleted now: deletes "LaunchProtected" and,
// only when "Start" can be read, writes "Start" = 4 (disabled) and
// "DeleteFlag" = 1. True when both were written.
bool MarkServiceForRemoval(const std::wstring& name);

}  // namespace lum
