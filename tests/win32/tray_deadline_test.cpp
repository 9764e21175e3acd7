// A tray service that takes the installer's request and never answers must
// not hold the install: registration and every later call end with -4 once
// their deadline passes, and the next request connects anew.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <string>
#include <vector>

#include "system/win_handle_win.h"
#include "tray/launch_rules.h"
#include "tray/pipe_names.h"
#include "tray/tray_link_win.h"
#include "tray/volume_serial_win.h"

namespace lum {
namespace tray {
namespace {

// Serves the service pipe: accepts each client and never reads or writes a
// byte (the request waits in the pipe's buffer). The next instance is made
// as soon as a client is accepted, so a reconnecting client always finds one.
class SilentService {
 public:
  SilentService() {
    name_ = L"\\\\.\\pipe\\" + ServicePipeName(SystemVolumeSerial());
    listening_.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    thread_.Reset(CreateThread(nullptr, 0, &SilentService::Serve, this, 0, nullptr));
    WaitForSingleObject(listening_.Get(), 5000);
  }
  ~SilentService() {
    stop_ = true;
    // A last client wakes a ConnectNamedPipe that is still waiting.
    HANDLE poke = CreateFileW(name_.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (poke != INVALID_HANDLE_VALUE) CloseHandle(poke);
    WaitForSingleObject(thread_.Get(), 5000);
    for (HANDLE pipe : accepted_) CloseHandle(pipe);
  }
  int clients() const { return clients_.load(); }

 private:
  static DWORD WINAPI Serve(void* self) {
    auto* service = static_cast<SilentService*>(self);
    while (!service->stop_) {
      HANDLE pipe =
          CreateNamedPipeW(service->name_.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE | PIPE_WAIT,
                           PIPE_UNLIMITED_INSTANCES, 4096, 4096, 0, nullptr);
      if (pipe == INVALID_HANDLE_VALUE) return 1;
      SetEvent(service->listening_.Get());
      if (ConnectNamedPipe(pipe, nullptr) || GetLastError() == ERROR_PIPE_CONNECTED) {
        if (!service->stop_) ++service->clients_;
        service->accepted_.push_back(pipe);  // read by the destructor after the join
      } else {
        CloseHandle(pipe);
      }
    }
    return 0;
  }

  std::wstring name_;
  UniqueHandle listening_;
  UniqueHandle thread_;
  std::vector<HANDLE> accepted_;
  std::atomic<bool> stop_{false};
  std::atomic<int> clients_{0};
};

TEST(TrayDeadlineTest, ServiceThatNeverAnswersEndsRegistrationWithTransportError) {
  SilentService service;
  EXPECT_EQ(kTrayTransportError, Connect());
  EXPECT_FALSE(LinkConnected());
  // The link was dropped: the next request connects again, and fails the same way.
  EXPECT_EQ(kTrayTransportError, Connect());
  EXPECT_EQ(2, service.clients());
  ReleaseTrayLink();
}

}  // namespace
}  // namespace tray
}  // namespace lum
