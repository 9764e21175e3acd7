// Who serves the tray service pipe. While the product's service is not
// running, any local user can create a pipe of that name; the installer
// talks to the pipe only when the process at its other end runs as SYSTEM
// (or elevated), runs the product's service program from the install folder,
// and that program passes the trusted-image test.
#pragma once
#include <windows.h>

#include <string>

namespace lum {
namespace tray {

// Opens the client end of `pipe` ("\\.\pipe\...") for overlapped I/O with
// the identification impersonation level only, so that its server can never
// act with this process's rights; waits up to 3 s while all instances are
// busy. INVALID_HANDLE_VALUE (GetLastError) when not opened.
HANDLE OpenServicePipe(const std::wstring& pipe);

// The full image path of the process that serves the pipe `client` is
// connected to. False with a reason for the log when it cannot be told
// (Windows before 6.0 cannot name a pipe's server process).
bool PipeServerImage(HANDLE client, std::wstring* image, std::wstring* why);

// Whether the process that serves the pipe runs as SYSTEM (the service's
// account) or with the Administrators group enabled: nothing a standard
// user, or an unelevated process of the installing account, can have. The
// image test alone is not enough: the image path of a process is whatever
// its starter named, and the program file may be copied anywhere. False
// with a reason for the log (the account as a SID) otherwise.
bool PipeServerIsPrivileged(HANDLE client, std::wstring* why);

}  // namespace tray
}  // namespace lum
