// The installer's own Thrift server on its callback pipe, through which the
// tray service calls a registered client back (ZTrayClient). It answers every
// call with a fixed value and keeps no state.
//
// Threads: StartCallbackServer and StopCallbackServer are called from the main
// thread (start-up and shutdown). The server runs on a thread of its own that
// accepts connections, and serves each on a worker of its pool. The pipe name
// and port handle may be read from any thread once StartCallbackServer returned.
#pragma once
#include <windows.h>

#include <memory>
#include <string>

namespace apache {
namespace thrift {
class TProcessor;
}
}  // namespace apache

namespace lum {
namespace tray {

// Builds the own pipe name and starts the server thread; false when the
// thread could not be started (the link then registers without a pipe).
bool StartCallbackServer();
// Stops the server, waits up to 5,000 ms for its thread and ends it when it is
// still running; frees the pipe name.
void StopCallbackServer();

// The own pipe name ("\\.\pipe\{...}_"); empty when the server is not set up.
std::wstring CallbackPipeName();
// The handle of the pipe instance the server created; null until it listens.
HANDLE CallbackPipeHandle();

// The ZTrayClient processor over the fixed-answer handler (also for tests).
std::shared_ptr<apache::thrift::TProcessor> NewCallbackProcessor();

}  // namespace tray
}  // namespace lum
