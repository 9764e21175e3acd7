// The client side of the tray service link: one link per process, created on
// first use, registered with the tray service over the service pipe and kept
// until StopTrayLink. Results: 1 success, -2 registration refused, -3 no
// process id, -4 a transport or protocol error (every exception of the
// protocol library, and any other it lets through, ends here), -6 not connected.
//
// Threads: the interface thread and the install worker use the link one call
// at a time, in the caller's order; the link has no lock of its own.
#pragma once
#include <windows.h>

#include <functional>
#include <memory>
#include <string>

namespace ztray {
class ZTrayServiceClient;
}

namespace lum {

// The trusted-image test the service's program must pass before the link
// says anything over the service pipe.
using ServiceImageTest = bool (*)(const std::wstring& image);

// Start-up step: starts the callback server (the link itself is made on first
// use). Registration first checks that the service pipe is served by the
// product's service program from the install folder and that the program
// passes `trustedImage`; any other server (one a local user made while the
// service is not running) is refused with -4 before anything is sent.
bool StartTrayLink(ServiceImageTest trustedImage);
// Shutdown: closes the transport when registered, releases the link and
// stops the callback server.
void StopTrayLink();
// Closes the transport and releases the link (the callback server keeps
// running); the next request connects and registers anew.
void ReleaseTrayLink();

namespace tray {

constexpr int kTrayRegistrationRefused = -2;

// Creates the link if needed and registers unless registered.
int Connect();
// True when the link's transport to the service is open.
bool LinkConnected();

// Runs `call` on the registered link's client; answers what `call` answers,
// -6 when the link is not connected, -4 when the protocol library throws or
// the service gives no answer within kTrayCallLimitMs (the link is then
// dropped, so that the next call reconnects). Registration has the same limit.
int CallService(const wchar_t* what, const std::function<int(ztray::ZTrayServiceClient&)>& call);

// Starts `file` with `arguments` in `session` through the service: 1 on
// success, else the last failure of three tries 100 ms apart.
int LaunchInUserSession(DWORD session, const std::wstring& file, const std::wstring& arguments);

}  // namespace tray
}  // namespace lum
