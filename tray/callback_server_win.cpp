#include "tray/callback_server_win.h"

#include <ztray/ZTrayClient.h>

#include <thrift/concurrency/ThreadFactory.h>
#include <thrift/concurrency/ThreadManager.h>
#include <thrift/protocol/TBinaryProtocol.h>
#include <thrift/server/TThreadPoolServer.h>
#include <thrift/transport/TBufferTransports.h>
#include <thrift/transport/TPipeServer.h>

#include <atomic>
#include <mutex>

#include "base/install_log.h"
#include "base/text.h"
#include "system/win_handle_win.h"
#include "tray/pipe_names.h"
#include "tray/volume_serial_win.h"
#include "tray/wire_limits.h"

namespace lum {
namespace tray {

namespace {

using apache::thrift::concurrency::ThreadFactory;
using apache::thrift::concurrency::ThreadManager;
using apache::thrift::protocol::TBinaryProtocolFactory;
using apache::thrift::server::TServerEventHandler;
using apache::thrift::server::TThreadPoolServer;
using apache::thrift::transport::TBufferedTransportFactory;
using apache::thrift::transport::TPipeServer;

constexpr const char* kLog = "tray";
constexpr DWORD kStopWaitMs = 5000;
// Only the tray service (LocalSystem) and administrators may connect; the
// library's default would let every user of the machine in.
const char kPipeSecurity[] = "D:(A;;FA;;;SY)(A;;FA;;;BA)";
constexpr uint32_t kPipeBufferSize = 1024;

// The fixed answers of a client that shows no tray icon and no windows.
class CallbackHandler : public ztray::ZTrayClientIf {
 public:
  bool SetTrayIcon(int32_t, const std::string&) override { return true; }
  bool SetTipText(const std::string&) override { return true; }
  bool ShowBallon(const std::string&, const std::string&, int32_t, int32_t) override {
    return true;
  }
  int32_t SkinMessageBox(const std::string&, const std::string&, int32_t) override { return 1; }
  void SetTrayData(const std::string&, const std::string&) override {}
  void GetTrayData(std::string& result, const std::string&) override { result.clear(); }
  int32_t AVMessageToCli(const std::string&) override { return 1; }
  int32_t TestValueClient(int32_t value, int32_t) override { return value; }
  bool HipsCreateNotifyWnd(const ztray::ZEventInfo&) override { return false; }
  int32_t SetAuthKey(int32_t) override { return 1; }
  // The generated names meet <windows.h>'s PostMessage/SendMessage macros;
  // both sides see the same expansion, so the overrides still match.
  int32_t PostMessage(int32_t, int32_t, int32_t) override { return 0; }
  int32_t SendMessage(int32_t, int32_t, int32_t) override { return 0; }
  int32_t UDiskMessageToCli(const std::string&, int32_t) override { return 1; }
  int32_t PostCopyDataMessage(int32_t, const ztray::ZWndCopyData&) override { return 0; }
  int32_t ScanMessageToCli(const std::string&) override { return 1; }
};

// Records the handle of the pipe instance the server listens on: the
// service is told it at registration as the client's port handle.
class PipeHandleHook : public TServerEventHandler {
 public:
  explicit PipeHandleHook(std::shared_ptr<TPipeServer> pipe) : pipe_(std::move(pipe)) {}
  void preServe() override;

 private:
  std::shared_ptr<TPipeServer> pipe_;
};

struct ServerState {
  std::wstring pipeName;
  std::shared_ptr<TThreadPoolServer> server;
  UniqueHandle thread;
};

std::mutex g_lock;
ServerState* g_state = nullptr;  // owned; leaked on purpose after a forced end
std::atomic<HANDLE> g_pipeHandle{nullptr};

void PipeHandleHook::preServe() { g_pipeHandle.store(pipe_->getPipeHandle()); }

DWORD WINAPI ServeThread(void* param) {
  auto* server = static_cast<TThreadPoolServer*>(param);
  try {
    server->serve();
  } catch (const std::exception& e) {
    log::Action(kLog, L"callback server ended: " + Utf8ToWide(e.what()), L"", -4);
    return 1;
  }
  return 0;
}

// Thrift reports a dropped connection on its own output; it belongs in the log.
void ThriftOutput(const char* message) {
  log::Note(kLog, L"protocol library: " + Utf8ToWide(message ? message : ""));
}

}  // namespace

std::shared_ptr<apache::thrift::TProcessor> NewCallbackProcessor() {
  return std::make_shared<ztray::ZTrayClientProcessor>(std::make_shared<CallbackHandler>());
}

bool StartCallbackServer() {
  std::lock_guard<std::mutex> hold(g_lock);
  if (g_state != nullptr) return true;
  apache::thrift::GlobalOutput.setOutputFunction(ThriftOutput);
  auto state = std::make_unique<ServerState>();
  state->pipeName = tray::CallbackPipeName(GetCurrentProcessId(), SystemVolumeSerial());
  try {
    auto pipe = std::make_shared<TPipeServer>(WideToUtf8(state->pipeName), kPipeBufferSize,
                                              PIPE_UNLIMITED_INSTANCES, kPipeSecurity);
    auto protocol = std::make_shared<TBinaryProtocolFactory>(kWireStringLimit, kWireContainerLimit,
                                                             /*strictRead=*/false,
                                                             /*strictWrite=*/true);
    auto workers = ThreadManager::newSimpleThreadManager();
    workers->threadFactory(std::make_shared<ThreadFactory>());
    workers->start();
    state->server = std::make_shared<TThreadPoolServer>(
        NewCallbackProcessor(), pipe, std::make_shared<TBufferedTransportFactory>(), protocol,
        workers);
    state->server->setServerEventHandler(std::make_shared<PipeHandleHook>(pipe));
  } catch (const std::exception& e) {
    log::Action(kLog, L"callback server not set up: " + Utf8ToWide(e.what()), state->pipeName, -4);
    return false;
  }
  state->thread.Reset(::CreateThread(nullptr, 0, ServeThread, state->server.get(), 0, nullptr));
  if (!state->thread) {
    const long error = static_cast<long>(::GetLastError());
    log::Action(kLog, L"callback server thread not started", state->pipeName, error);
    return false;
  }
  log::Action(kLog, L"callback server started", state->pipeName, 0);
  g_state = state.release();
  return true;
}

void StopCallbackServer() {
  std::lock_guard<std::mutex> hold(g_lock);
  if (g_state == nullptr) return;
  try {
    g_state->server->stop();
  } catch (const std::exception&) {
    // The wait below decides what happens to a server that did not hear it.
  }
  const DWORD waited = ::WaitForSingleObject(g_state->thread.Get(), kStopWaitMs);
  g_pipeHandle.store(nullptr);
  if (waited != WAIT_OBJECT_0) {
    // A thread stuck inside the library cannot be asked again; its objects
    // stay allocated, since they may still be in use.
    const BOOL ended = ::TerminateThread(g_state->thread.Get(), 1);
    log::Action(kLog, L"callback server did not stop in time: thread ended",
                g_state->pipeName, ended ? 0 : static_cast<long>(::GetLastError()));
    g_state->thread.Reset();
    g_state = nullptr;
    return;
  }
  log::Action(kLog, L"callback server stopped", g_state->pipeName, 0);
  delete g_state;
  g_state = nullptr;
}

std::wstring CallbackPipeName() {
  std::lock_guard<std::mutex> hold(g_lock);
  return g_state != nullptr ? g_state->pipeName : std::wstring();
}

HANDLE CallbackPipeHandle() { return g_pipeHandle.load(); }

}  // namespace tray
}  // namespace lum
