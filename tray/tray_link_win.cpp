#include "tray/tray_link_win.h"

#include <ztray/ZTrayService.h>

#include <thrift/protocol/TBinaryProtocol.h>
#include <thrift/transport/TBufferTransports.h>
#include <thrift/transport/TPipe.h>

#include <memory>

#include "base/install_log.h"
#include "base/text.h"
#include "tray/call_deadline_win.h"
#include "tray/callback_server_win.h"
#include "tray/launch_rules.h"
#include "tray/pipe_names.h"
#include "system/product_location_win.h"
#include "tray/service_image.h"
#include "tray/service_peer_win.h"
#include "tray/session_processes_win.h"
#include "tray/volume_serial_win.h"
#include "tray/wire_limits.h"

namespace lum {

namespace tray {

namespace {

using apache::thrift::protocol::TBinaryProtocol;
using apache::thrift::transport::TBufferedTransport;
using apache::thrift::transport::TPipe;
using apache::thrift::transport::TTransport;

constexpr const char* kLog = "tray";
constexpr int kClientType = 1;
constexpr int kHandleTries = 10;
constexpr DWORD kHandleSleepMs = 200;
constexpr int kLaunchCommand = 7;
constexpr int kLaunchTries = 3;
constexpr DWORD kLaunchPauseMs = 100;

struct Link {
  DWORD processId = 0;
  std::wstring servicePipe;
  HANDLE portHandle = nullptr;
  std::shared_ptr<TPipe> pipe;
  std::shared_ptr<TTransport> transport;
  std::shared_ptr<ztray::ZTrayServiceClient> client;
  bool connected = false;
  bool registered = false;
};

Link* g_link = nullptr;
ServiceImageTest g_trustedImage = nullptr;

bool UsableHandle(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }

// The port handle appears once the callback server listens; registration
// goes ahead with whatever it has after about two seconds.
HANDLE WaitForPortHandle() {
  if (CallbackPipeName().empty()) return nullptr;
  HANDLE handle = CallbackPipeHandle();
  for (int n = 0; n < kHandleTries && !UsableHandle(handle); ++n) {
    ::Sleep(kHandleSleepMs);
    handle = CallbackPipeHandle();
  }
  return handle;
}

void Drop(Link& link) {
  if (link.transport) {
    try {
      link.transport->close();
    } catch (const std::exception&) {
    }
  }
  link.client.reset();
  link.transport.reset();
  link.pipe.reset();
  link.connected = false;
  link.registered = false;
}

// Whether the pipe's server is the product's service: a process running as
// SYSTEM (or elevated), its program from the install folder that passes the
// trusted-image test. Logged either way.
bool ServedByTheService(HANDLE pipe, const std::wstring& pipeName) {
  std::wstring image, why;
  if (!PipeServerIsPrivileged(pipe, &why)) {
    log::Action(kLog, L"tray service pipe refused: " + why, pipeName, kTrayTransportError);
    return false;
  }
  if (!PipeServerImage(pipe, &image, &why)) {
    log::Action(kLog, L"tray service pipe refused: " + why, pipeName, kTrayTransportError);
    return false;
  }
  const std::wstring folder = ReadProductFolder();
  if (!IsServiceImageOf(image, folder)) {
    log::Action(kLog,
                L"tray service pipe refused: served by " + image + L", not the service of " +
                    (folder.empty() ? std::wstring(L"an installed product") : folder),
                pipeName, kTrayTransportError);
    return false;
  }
  if (!g_trustedImage || !g_trustedImage(image)) {
    log::Action(kLog, L"tray service pipe refused: untrusted image " + image, pipeName,
                kTrayTransportError);
    return false;
  }
  log::Action(kLog, L"tray service pipe served by " + image, pipeName, 0);
  return true;
}

int Register(Link& link) {
  link.processId = ::GetCurrentProcessId();
  if (link.processId == 0) return kTrayNoProcessId;
  link.servicePipe = ServicePipeName(SystemVolumeSerial());
  link.portHandle = WaitForPortHandle();
  link.pipe = std::make_shared<TPipe>(WideToUtf8(link.servicePipe));
  link.transport = std::make_shared<TBufferedTransport>(link.pipe);
  // The service's answers are held to the limits the callback server holds
  // the service's calls to.
  link.client = std::make_shared<ztray::ZTrayServiceClient>(std::make_shared<TBinaryProtocol>(
      link.transport, kWireStringLimit, kWireContainerLimit, /*strictRead=*/false,
      /*strictWrite=*/true));
  const std::wstring ownPipe = CallbackPipeName();
  const std::wstring pipePath = L"\\\\.\\pipe\\" + link.servicePipe;
  HANDLE opened = OpenServicePipe(pipePath);
  if (opened == INVALID_HANDLE_VALUE) {
    const long error = static_cast<long>(::GetLastError());
    log::Action(kLog, L"tray service not reached: pipe not opened (error " +
                          std::to_wstring(error) + L")",
                link.servicePipe, kTrayTransportError);
    Drop(link);
    return kTrayTransportError;
  }
  link.pipe->setPipeHandle(opened);  // the pipe owns the handle from here on
  if (!ServedByTheService(opened, link.servicePipe)) {
    Drop(link);
    return kTrayTransportError;
  }
  std::unique_ptr<CallDeadline> deadline;
  try {
    link.transport->open();
    link.connected = link.transport->isOpen();
    if (!link.connected) {
      log::Action(kLog, L"tray service pipe did not open", link.servicePipe, kTrayLinkNotConnected);
      return kTrayLinkNotConnected;
    }
    deadline = std::make_unique<CallDeadline>(link.pipe->getPipeHandle());
    ztray::ZRegResult answer;
    link.client->RegisterClient(answer, WideToUtf8(ownPipe), static_cast<int32_t>(link.processId),
                                static_cast<int32_t>(reinterpret_cast<intptr_t>(link.portHandle)),
                                kClientType);
    deadline->Finish();
    link.registered = true;
    const int result = answer.bSuccess ? kTraySuccess : kTrayRegistrationRefused;
    log::Action(kLog, L"register with the tray service", link.servicePipe,
                result == kTraySuccess ? 0 : result);
    return result;
  } catch (const std::exception& e) {
    bool late = false;
    if (deadline) {
      deadline->Finish();
      late = deadline->Expired();
    }
    log::Action(kLog,
                (late ? L"tray service did not answer the registration in time: "
                      : L"tray service not reached: ") +
                    Utf8ToWide(e.what()),
                link.servicePipe, kTrayTransportError);
    Drop(link);
    return kTrayTransportError;
  }
}

}  // namespace

int Connect() {
  if (g_link == nullptr) g_link = new Link;
  if (g_link->registered) return kTraySuccess;
  return Register(*g_link);
}

bool LinkConnected() { return g_link != nullptr && g_link->connected; }

int CallService(const wchar_t* what,
                const std::function<int(ztray::ZTrayServiceClient&)>& call) {
  if (!LinkConnected() || !g_link->client) return kTrayLinkNotConnected;
  CallDeadline deadline(g_link->pipe ? g_link->pipe->getPipeHandle() : nullptr);
  try {
    return call(*g_link->client);
  } catch (const std::exception& e) {
    deadline.Finish();
    log::Action(kLog,
                std::wstring(what) + (deadline.Expired() ? L": no answer in time: " : L": ") +
                    Utf8ToWide(e.what()),
                g_link->servicePipe, kTrayTransportError);
    Drop(*g_link);
    return kTrayTransportError;
  }
}

int LaunchInUserSession(DWORD session, const std::wstring& file, const std::wstring& arguments) {
  const std::wstring command = LaunchCommandLine(file, arguments);
  bool shellFound = false;
  const bool admin = ShellHoldsAdministrators(session, &shellFound);
  if (!shellFound)
    log::Note(kLog, L"no shell in session " + std::to_wstring(session) +
                        L": the program is asked for at medium integrity");
  ztray::ZLaunchProcCopyData data;
  data.Pid = static_cast<int32_t>(::GetCurrentProcessId());
  data.Integrity_Level = LaunchIntegrityLevel(shellFound, admin);
  data.bSrvSession = false;
  data.u8StrFile = "";
  data.u8StrCmd = WideToUtf8(command);
  const int result = RetryUntilSuccess(
      [&] {
        // A try that broke the link (the service restarting, a late answer)
        // leaves the next one to connect and register anew.
        Connect();
        return CallService(L"start program through the tray service",
                           [&](ztray::ZTrayServiceClient& client) {
                             return client.sendLaunchProcData2Srv(kLaunchCommand, data);
                           });
      },
      kLaunchTries, [] { ::Sleep(kLaunchPauseMs); });
  log::Action(kLog,
              L"start program in session " + std::to_wstring(session) + L" (integrity " +
                  std::to_wstring(data.Integrity_Level) + L")",
              command, result == kTraySuccess ? 0 : result);
  return result;
}

}  // namespace tray

bool StartTrayLink(ServiceImageTest trustedImage) {
  tray::g_trustedImage = trustedImage;
  return tray::StartCallbackServer();
}

void ReleaseTrayLink() {
  if (tray::g_link == nullptr) return;
  tray::Drop(*tray::g_link);
  delete tray::g_link;
  tray::g_link = nullptr;
}

void StopTrayLink() {
  ReleaseTrayLink();
  tray::StopCallbackServer();
}

}  // namespace lum
