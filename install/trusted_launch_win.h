// The guarded launcher: the installer starts the product's programs (and
// waits for them) only when the image is one it trusts.
//
// Threading: the product folder is cached on first use; the install worker
// and the service bring-up's worker threads call this one after another.
#pragma once
#include <windows.h>

#include <string>

namespace lum {

// Trusted when the path lies in the installed product's folder (App Paths
// of ZVSafeMain.exe) and the self-protection driver acknowledges this
// process; otherwise when the vendor base module's file verification vouches.
bool IsTrustedImage(const std::wstring& path);

// CreateProcessW of `application` with `commandLine`, only for a trusted
// image, held open (OpenHeldFile) from before its check until the process
// exists. False (with the system error set) when it is not trusted
// (ERROR_ACCESS_DENIED), when it cannot be held (a link, a path leading
// elsewhere, a missing file), when no application is named
// (ERROR_NOT_SUPPORTED) or when the process cannot be created. The caller
// owns the handles.
bool LaunchTrusted(const std::wstring& application, const std::wstring& commandLine,
                   DWORD creationFlags, PROCESS_INFORMATION* process);

// LaunchTrusted with the command line "\"application\" arguments", then waits
// at most `waitMs` (INFINITE for no limit) and closes the handles. True when
// the program started.
bool RunTrusted(const std::wstring& application, const std::wstring& arguments, DWORD waitMs);

}  // namespace lum
